#include "velmoradine/platform/uikit/ui_scroll_view.hpp"

#include <algorithm>
#include <cmath>

namespace velmoradine {

UIScrollView::UIScrollView(Rect frame) : UIView(frame) {
  setClipsToBounds(true);
}

void UIScrollView::setContentOffset(Point offset) {
  Rect b = bounds();
  setBounds(Rect(offset, b.size));
  // What is visible changed: a subclass may place other subviews now.
  setNeedsLayout();
}

void UIScrollView::setContentInset(UIEdgeInsets insets) {
  contentInset_ = insets;
  if (!scrolledByUser_) setContentOffset({-insets.left, -insets.top});
}

Point UIScrollView::clamped(Point offset) const {
  const Rect& b = bounds();
  double maxX = contentSize_.width + contentInset_.right - b.width();
  double maxY = contentSize_.height + contentInset_.bottom - b.height();
  return {std::clamp(offset.x, -contentInset_.left, std::max(-contentInset_.left, maxX)),
          std::clamp(offset.y, -contentInset_.top, std::max(-contentInset_.top, maxY))};
}

void UIScrollView::touchesBegan(const UITouch&) {
  dragStartOffset_ = contentOffset();
  dragging_ = false;
}

void UIScrollView::touchesMoved(const UITouch& touch) {
  if (!scrollEnabled_) return;
  double dx = touch.locationInWindow.x - touch.startLocationInWindow.x;
  double dy = touch.locationInWindow.y - touch.startLocationInWindow.y;
  const Rect& b = bounds();
  bool horizontal = contentSize_.width + contentInset_.left + contentInset_.right > b.width();
  bool vertical = contentSize_.height + contentInset_.top + contentInset_.bottom > b.height();
  if (!dragging_) {
    bool along = (horizontal && std::fabs(dx) > kDragThreshold) ||
                 (vertical && std::fabs(dy) > kDragThreshold);
    if (!along) return;
    dragging_ = true;
    scrolledByUser_ = true;
    didBeginDragging();
  }
  setContentOffset(clamped(
      {dragStartOffset_.x - (horizontal ? dx : 0), dragStartOffset_.y - (vertical ? dy : 0)}));
}

void UIScrollView::touchesEnded(const UITouch&) {
  dragging_ = false;
}

void UIScrollView::touchesCancelled(const UITouch&) {
  dragging_ = false;
}

}  // namespace velmoradine
