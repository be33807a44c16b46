#include "velmoradine/platform/uikit/ui_control.hpp"

#include "velmoradine/platform/uikit/main_thread.hpp"

namespace velmoradine {

void UIControl::addAction(UIControlEvents events, Action action) {
  assertMainThread("UIControl::addAction");
  if (action) actions_.emplace_back(events, std::move(action));
}

void UIControl::sendActions(UIControlEvents events) {
  // Copied: an action may add actions, or release the control.
  auto self = shared_from_this();
  auto actions = actions_;
  for (const auto& [registered, action] : actions) {
    if (intersects(registered, events)) action();
  }
}

void UIControl::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) setHighlighted(false);
}

void UIControl::setHighlighted(bool highlighted) {
  highlighted_ = highlighted;
}

std::shared_ptr<UIView> UIControl::hitTest(Point point) {
  if (!enabled_) return nullptr;
  return UIView::hitTest(point);
}

void UIControl::touchesBegan(const UITouch&) {
  setHighlighted(true);
  sendActions(UIControlEvents::touchDown);
}

void UIControl::touchesMoved(const UITouch& touch) {
  setHighlighted(pointInside(touch.location(*this)));
}

void UIControl::touchesEnded(const UITouch& touch) {
  setHighlighted(false);
  if (pointInside(touch.location(*this))) {
    sendActions(UIControlEvents::touchUpInside | UIControlEvents::primaryActionTriggered);
  } else {
    sendActions(UIControlEvents::touchUpOutside);
  }
}

void UIControl::touchesCancelled(const UITouch&) {
  setHighlighted(false);
  sendActions(UIControlEvents::touchCancel);
}

}  // namespace velmoradine
