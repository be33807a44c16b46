#pragma once

// A button: a control with a title label and an image view filling its
// bounds (the image behind, fitted; the title centred over it). The title is
// dimmed while the button is highlighted. Main thread only.

#include <memory>
#include <optional>
#include <string>

#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/uikit/ui_control.hpp"
#include "velmoradine/platform/uikit/ui_image_view.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine {

class UIButton : public UIControl {
 public:
  explicit UIButton(Rect frame = {});

  std::optional<std::string> title() const { return titleLabel_->text(); }
  void setTitle(std::optional<std::string> title);
  void setTitleColor(Color color) { titleLabel_->setTextColor(color); }
  void setImage(std::optional<Image> image) { imageView_->setImage(std::move(image)); }
  const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }

  void setHighlighted(bool highlighted) override;
  void layoutSubviews() override;
  Size intrinsicContentSize() const override;

 private:
  std::shared_ptr<UILabel> titleLabel_;
  std::shared_ptr<UIImageView> imageView_;
};

}  // namespace velmoradine
