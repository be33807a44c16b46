#include "velmoradine/platform/uikit/ui_image_view.hpp"

namespace velmoradine {
namespace {

ContentsGravity gravityFor(UIViewContentMode mode) {
  switch (mode) {
    case UIViewContentMode::scaleAspectFit:
      return ContentsGravity::resizeAspect;
    case UIViewContentMode::scaleAspectFill:
      return ContentsGravity::resizeAspectFill;
    case UIViewContentMode::center:
      return ContentsGravity::center;
    case UIViewContentMode::scaleToFill:
      break;
  }
  return ContentsGravity::resize;
}

}  // namespace

UIImageView::UIImageView(Rect frame) : UIView(frame) {
  setUserInteractionEnabled(false);
}

UIImageView::UIImageView(std::optional<Image> image)
    : UIImageView(image ? Rect({0, 0}, image->size()) : Rect()) {
  setImage(std::move(image));
}

void UIImageView::setImage(std::optional<Image> image) {
  image_ = std::move(image);
  if (image_) layer()->setContentsScale(image_->scale());
  layer()->setContents(image_);
  invalidateIntrinsicContentSize();
}

void UIImageView::setContentMode(UIViewContentMode mode) {
  contentMode_ = mode;
  layer()->setContentsGravity(gravityFor(mode));
}

Size UIImageView::intrinsicContentSize() const {
  if (!image_) return {noIntrinsicMetric, noIntrinsicMetric};
  return image_->size();
}

}  // namespace velmoradine
