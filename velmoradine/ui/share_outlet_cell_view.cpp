#include "velmoradine/ui/share_outlet_cell_view.hpp"

#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_font.hpp"

namespace velmoradine {

ShareOutletCellView::ShareOutletCellView(Rect frame)
    : UICollectionViewCell(frame),
      labelView_(std::make_shared<UILabel>()),
      imageView_(std::make_shared<UIImageView>()),
      spinnerView_(
          std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge)) {
  labelView_->setTextAlignment(NSTextAlignment::center);
  labelView_->setFont(Font::systemFont(kLabelFontSize));
  imageView_->setUserInteractionEnabled(true);
  imageView_->layer()->setCornerRadius(shareOutletItemSize * 0.5);
  imageView_->setClipsToBounds(true);
  labelView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  imageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  spinnerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
}

void ShareOutletCellView::layoutSubviews() {
  UICollectionViewCell::layoutSubviews();
  if (viewSetup_) return;
  viewSetup_ = true;
  setUpSubviews();
}

void ShareOutletCellView::setUpSubviews() {
  const auto& content = contentView();
  content->addSubview(imageView_);
  content->addSubview(labelView_);
  content->addSubview(spinnerView_);
  NSLayoutConstraint::activate({
      imageView_->topAnchor().constraintEqualTo(content->topAnchor()),
      imageView_->widthAnchor().constraintEqualTo(content->widthAnchor(), 0.7),
      imageView_->heightAnchor().constraintEqualTo(content->widthAnchor(), 0.7),
      imageView_->centerXAnchor().constraintEqualTo(content->centerXAnchor()),
      spinnerView_->centerXAnchor().constraintEqualTo(imageView_->centerXAnchor()),
      spinnerView_->centerYAnchor().constraintEqualTo(imageView_->centerYAnchor()),
      labelView_->bottomAnchor().constraintEqualTo(content->bottomAnchor()),
      labelView_->widthAnchor().constraintEqualTo(content->widthAnchor()),
      labelView_->heightAnchor().constraintEqualTo(content->widthAnchor(), 0.2),
      labelView_->centerXAnchor().constraintEqualTo(content->centerXAnchor()),
  });
}

// A reloaded cell is mostly set up again for the outlet it already shows;
// its label and icon (read from the bundle) then stay as they are. The
// sheet's outlet types outlive the cells of its row.
void ShareOutletCellView::setupOutlet(const ShareOutletType& outlet) {
  if (shownOutlet_ == &outlet) return;
  shownOutlet_ = &outlet;
  NSAttributes attributes;
  attributes.font = UIFont::named(kLabelFontName, kLabelFontSize);
  labelView_->setAttributedText(NSAttributedString(outlet.outletName(), attributes));
  imageView_->setImage(outlet.buttonImage());
}

void ShareOutletCellView::spin(bool spinning) {
  if (spinning) {
    spinnerView_->startAnimating();
  } else {
    spinnerView_->stopAnimating();
  }
  imageView_->layer()->setBackgroundColor(spinning ? Color::black() : Color::clear());
  imageView_->layer()->setOpacity(spinning ? 0.5F : 1.0F);
}

}  // namespace velmoradine
