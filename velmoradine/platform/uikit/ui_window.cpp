#include "velmoradine/platform/uikit/ui_window.hpp"

#include <algorithm>
#include <cmath>

#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_control.hpp"
#include "velmoradine/platform/uikit/ui_gesture_recognizer.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_animation.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/window_compositor.hpp"

namespace velmoradine {
namespace {

// Layout passes run until the tree settles; views that keep asking for
// layout (each pass moving another) stop here.
constexpr int kMaximumLayoutPasses = 4;

bool treeNeedsLayout(const UIView& view) {
  if (view.needsLayout()) return true;
  for (const auto& subview : view.subviews()) {
    if (treeNeedsLayout(*subview)) return true;
  }
  return false;
}

double distance(Point a, Point b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// Belongs to the main thread, as every window does.
UIWindow*& keyWindowSlot() {
  static UIWindow* key = nullptr;
  return key;
}

}  // namespace

UIWindow::UIWindow(UIScreen screen)
    : screen_(screen),
      bitmap_(screen.pixelWidth(), screen.pixelHeight()),
      compositor_(
          std::make_unique<WindowCompositor>(screen.bounds(), screen.scale(), Color::black())) {
  assertMainThread("UIWindow::UIWindow");
}

UIWindow::~UIWindow() {
  if (keyWindowSlot() == this) keyWindowSlot() = nullptr;
  if (root_) root_->window_ = nullptr;
  for (const auto& root : attachedRoots_) {
    if (auto view = root.lock()) {
      view->window_ = nullptr;
      view->updateWindow();
    }
  }
}

void UIWindow::makeKeyAndVisible() {
  assertMainThread("UIWindow::makeKeyAndVisible");
  keyWindowSlot() = this;
}

UIWindow* UIWindow::keyWindow() {
  assertMainThread("UIWindow::keyWindow");
  return keyWindowSlot();
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
  assertMainThread("UIWindow::setRootViewController");
  if (root_) root_->window_ = nullptr;
  root_ = std::move(controller);
  if (root_) {
    root_->window_ = this;
    root_->view()->setFrame(screen_.bounds());
  }
  // Views learn at once whether they are in a window, not at the next frame.
  roots();
}

std::shared_ptr<UIViewController> UIWindow::topViewController() const {
  auto top = root_;
  while (top && top->presentedViewController()) top = top->presentedViewController();
  return top;
}

void UIWindow::setOverrideUserInterfaceStyle(UIUserInterfaceStyle style) {
  overrideStyle_ = style;
}

UITraitCollection UIWindow::traitCollection() const {
  if (overrideStyle_ == UIUserInterfaceStyle::unspecified) return screen_.traitCollection();
  return {overrideStyle_};
}

std::vector<std::shared_ptr<UIView>> UIWindow::collectRoots() {
  std::vector<std::shared_ptr<UIView>> roots;
  if (!root_) return roots;
  roots.push_back(root_->view());
  for (auto presented = root_->presentedViewController(); presented;
       presented = presented->presentedViewController()) {
    if (const auto& container = presented->presentationController()->containerView()) {
      roots.push_back(container);
    }
  }
  return roots;
}

std::vector<std::shared_ptr<UIView>> UIWindow::roots() {
  auto roots = collectRoots();
  for (const auto& old : attachedRoots_) {
    auto view = old.lock();
    if (!view || view->window_ != this) continue;
    if (std::find(roots.begin(), roots.end(), view) != roots.end()) continue;
    view->window_ = nullptr;
    view->updateWindow();
  }
  attachedRoots_.clear();
  for (const auto& root : roots) {
    attachedRoots_.push_back(root);
    if (root->window_ == this) continue;
    root->window_ = this;
    root->updateWindow();
  }
  return roots;
}

void UIWindow::layoutIfNeeded() {
  assertMainThread("UIWindow::layoutIfNeeded");
  for (int pass = 0; pass < kMaximumLayoutPasses; ++pass) {
    bool pending = false;
    for (const auto& root : roots()) {
      root->layoutIfNeeded();
      pending = pending || treeNeedsLayout(*root);
    }
    if (!pending) return;
  }
}

std::vector<PixelRect> UIWindow::displayIfNeeded() {
  assertMainThread("UIWindow::displayIfNeeded");
  layoutIfNeeded();
  return compositor_->display(roots(), bitmap_);
}

void UIWindow::setNeedsFullRedraw() {
  compositor_->invalidateAll();
}

Image UIWindow::snapshot() {
  displayIfNeeded();
  return Image(bitmap_.clone(), screen_.scale());
}

std::uint64_t UIWindow::rasterizationCount() const {
  return compositor_->rasterizationCount();
}

bool UIWindow::hasRunningAnimations() const {
  return UIViewAnimator::shared().hasRunningAnimations();
}

bool UIWindow::isTransitioning() const {
  for (auto presented = root_ ? root_->presentedViewController() : nullptr; presented;
       presented = presented->presentedViewController()) {
    if (presented->presentationController()->isTransitioning()) return true;
  }
  return false;
}

void UIWindow::sendTouch(UITouchPhase phase, Point location) {
  assertMainThread("UIWindow::sendTouch");
  switch (phase) {
    case UITouchPhase::began:
      began(location);
      break;
    case UITouchPhase::moved:
      moved(location);
      break;
    case UITouchPhase::ended:
      ended(location, false);
      break;
    case UITouchPhase::cancelled:
      ended(location, true);
      break;
  }
}

void UIWindow::tap(Point location) {
  sendTouch(UITouchPhase::began, location);
  sendTouch(UITouchPhase::ended, location);
}

void UIWindow::swipeDown(Point from, double distance, int steps) {
  sendTouch(UITouchPhase::began, from);
  steps = std::max(1, steps);
  for (int step = 1; step <= steps; ++step) {
    sendTouch(UITouchPhase::moved, {from.x, from.y + distance * step / steps});
  }
  sendTouch(UITouchPhase::ended, {from.x, from.y + distance});
}

void UIWindow::began(Point location) {
  touch_.reset();
  if (isTransitioning()) return;
  layoutIfNeeded();
  auto roots = this->roots();
  if (roots.empty()) return;
  const auto& top = roots.back();
  auto hit = top->hitTest(top->convertFromWindow(location));
  if (!hit) return;
  TrackedTouch tracked;
  tracked.touch = {UITouchPhase::began, location, location, location, hit};
  // A control handles its own taps; recognisers above it stay out.
  if (!dynamic_cast<UIControl*>(hit.get())) {
    for (auto view = hit; view; view = view->superview()) {
      for (const auto& recognizer : view->gestureRecognizers()) {
        if (recognizer->isEnabled() && dynamic_cast<UITapGestureRecognizer*>(recognizer.get())) {
          tracked.recognizers.push_back(recognizer);
        }
      }
    }
  }
  auto controller = topViewController();
  if (controller != root_) {
    auto sheet = controller->presentationController();
    if (sheet->allowsInteractiveDismissal() && hit->isDescendant(*controller->view())) {
      tracked.sheet = sheet;
    }
  }
  touch_ = std::move(tracked);
  hit->touchesBegan(touch_->touch);
}

void UIWindow::moved(Point location) {
  if (!touch_) return;
  UITouch& touch = touch_->touch;
  touch.previousLocationInWindow = touch.locationInWindow;
  touch.locationInWindow = location;
  touch.phase = UITouchPhase::moved;
  double dx = location.x - touch.startLocationInWindow.x;
  double dy = location.y - touch.startLocationInWindow.y;
  if (touch_->swiping) {
    touch_->sheet->dragTo(dy);
    return;
  }
  auto hit = touch.view.lock();
  if (touch_->sheet && dy > kDragThreshold && dy > std::fabs(dx)) {
    touch_->swiping = true;
    touch_->recognizers.clear();
    touch.phase = UITouchPhase::cancelled;
    if (hit) hit->touchesCancelled(touch);
    touch_->sheet->dragTo(dy);
    return;
  }
  if (hit) hit->touchesMoved(touch);
}

void UIWindow::ended(Point location, bool cancelled) {
  if (!touch_) return;
  TrackedTouch tracked = std::move(*touch_);
  touch_.reset();
  UITouch& touch = tracked.touch;
  touch.previousLocationInWindow = touch.locationInWindow;
  touch.locationInWindow = location;
  touch.phase = cancelled ? UITouchPhase::cancelled : UITouchPhase::ended;
  if (tracked.swiping) {
    tracked.sheet->endDrag(location.y - touch.startLocationInWindow.y);
    return;
  }
  auto hit = touch.view.lock();
  if (!hit) return;
  bool tapped = !cancelled && !tracked.recognizers.empty() &&
                distance(location, touch.startLocationInWindow) < UITapGestureRecognizer::kTapSlop;
  if (tapped) {
    touch.phase = UITouchPhase::cancelled;
    hit->touchesCancelled(touch);
    tracked.recognizers.front()->fire();
    return;
  }
  if (cancelled) {
    hit->touchesCancelled(touch);
  } else {
    hit->touchesEnded(touch);
  }
}

}  // namespace velmoradine
