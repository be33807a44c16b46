#pragma once

// The share sheet's outlet button: a circular icon with the outlet's name
// under it, and a spinner over the icon while the sheet waits for the
// content to share. The subviews are added and constrained once, on the
// first layout; the icon is always the content view's first subview (the
// sheet scales it while the cell is highlighted). Main thread only.

#include <memory>

#include "velmoradine/outlets/share_outlet_protocol.hpp"
#include "velmoradine/platform/uikit/ui_activity_indicator_view.hpp"
#include "velmoradine/platform/uikit/ui_collection_view_cell.hpp"
#include "velmoradine/platform/uikit/ui_image_view.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine {

class ShareOutletCellView : public UICollectionViewCell {
 public:
  // Width and height of an outlet cell, in points.
  static constexpr double shareOutletItemSize = 75;
  // The name's face; without it the label's own font, the system face at
  // the same size, draws the name.
  static constexpr const char* kLabelFontName = "Avenir-Medium";
  static constexpr double kLabelFontSize = 12;

  explicit ShareOutletCellView(Rect frame = {});

  void layoutSubviews() override;
  // Shows the outlet type's name and button image. Set up again for the
  // type it shows, the cell keeps what it has; the type must outlive the
  // cell, as a sheet's outlet types outlive its row.
  virtual void setupOutlet(const ShareOutletType& outlet);
  // Dims the icon under a running spinner, or shows it plainly.
  virtual void spin(bool spinning);

  const std::shared_ptr<UILabel>& labelView() const { return labelView_; }
  const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<UIActivityIndicatorView>& spinnerView() const { return spinnerView_; }
  bool viewSetup() const { return viewSetup_; }

 private:
  void setUpSubviews();

  std::shared_ptr<UILabel> labelView_;
  std::shared_ptr<UIImageView> imageView_;
  std::shared_ptr<UIActivityIndicatorView> spinnerView_;
  const ShareOutletType* shownOutlet_ = nullptr;
  bool viewSetup_ = false;
};

}  // namespace velmoradine
