#pragma once

// A collection view cell: a view with a content view filling it, that the
// collection view reuses for other items once it has scrolled out of sight
// or been reloaded (`prepareForReuse` runs before it is handed out again).
// Main thread only.

#include <memory>
#include <optional>
#include <string>

#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

class UICollectionViewCell : public UIView {
 public:
  explicit UICollectionViewCell(Rect frame = {});

  const std::shared_ptr<UIView>& contentView() const { return contentView_; }
  const std::optional<std::string>& reuseIdentifier() const { return reuseIdentifier_; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }
  virtual void prepareForReuse() {}

  // Keeps the content view filling the cell, then solves constraints.
  void layoutSubviews() override;

 private:
  friend class UICollectionView;

  std::shared_ptr<UIView> contentView_;
  std::optional<std::string> reuseIdentifier_;
  bool highlighted_ = false;
  bool selected_ = false;
};

}  // namespace velmoradine
