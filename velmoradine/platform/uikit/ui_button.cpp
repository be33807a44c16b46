#include "velmoradine/platform/uikit/ui_button.hpp"

namespace velmoradine {
namespace {

constexpr double kHighlightedTitleAlpha = 0.5;

}  // namespace

UIButton::UIButton(Rect frame)
    : UIControl(frame),
      titleLabel_(std::make_shared<UILabel>()),
      imageView_(std::make_shared<UIImageView>()) {
  titleLabel_->setTextAlignment(NSTextAlignment::center);
  titleLabel_->setTextColor(Color::rgba(0, 122 / 255.0, 1));
  imageView_->setContentMode(UIViewContentMode::scaleAspectFit);
  addSubview(imageView_);
  addSubview(titleLabel_);
}

void UIButton::setTitle(std::optional<std::string> title) {
  titleLabel_->setText(std::move(title));
  invalidateIntrinsicContentSize();
}

void UIButton::setHighlighted(bool highlighted) {
  UIControl::setHighlighted(highlighted);
  titleLabel_->setAlpha(highlighted ? kHighlightedTitleAlpha : 1);
}

void UIButton::layoutSubviews() {
  UIControl::layoutSubviews();
  imageView_->setFrame(bounds());
  titleLabel_->setFrame(bounds());
}

Size UIButton::intrinsicContentSize() const {
  return titleLabel_->intrinsicContentSize();
}

}  // namespace velmoradine
