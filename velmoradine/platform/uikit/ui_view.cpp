#include "velmoradine/platform/uikit/ui_view.hpp"

#include <algorithm>
#include <atomic>

#include "velmoradine/platform/uikit/constraint_solver.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_gesture_recognizer.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {
namespace {

std::uint64_t nextIdentifier() {
  static std::atomic<std::uint64_t> next{1};
  return next++;
}

// Views lower than this opacity are treated as invisible to touches.
constexpr double kMinimumHitAlpha = 0.01;

}  // namespace

Point UITouch::location(const UIView& view) const {
  return view.convertFromWindow(locationInWindow);
}

UIView::UIView(Rect frame) : UIView(frame, Layer::create()) {}

UIView::UIView(Rect frame, std::shared_ptr<Layer> layer)
    : identifier_(nextIdentifier()), layer_(std::move(layer)) {
  assertMainThread("UIView::UIView");
  layer_->setFrame(frame);
}

UIView::~UIView() {
  for (const auto& subview : subviews_) subview->superview_ = nullptr;
}

void UIView::willChangeAnimatableState() {
  UIViewAnimator::shared().willChange(*this);
}

UIViewAnimatableState UIView::animatableState() const {
  return {bounds(), center(), transform(), alpha()};
}

void UIView::setFrame(Rect frame) {
  willChangeAnimatableState();
  Size before = bounds().size;
  layer_->setFrame(frame);
  if (bounds().size != before) setNeedsLayout();
}

void UIView::setBounds(Rect bounds) {
  willChangeAnimatableState();
  Size before = this->bounds().size;
  layer_->setBounds(bounds);
  if (bounds.size != before) setNeedsLayout();
}

void UIView::setCenter(Point center) {
  willChangeAnimatableState();
  layer_->setPosition(center);
}

void UIView::setTransform(const AffineTransform& transform) {
  willChangeAnimatableState();
  layer_->setAffineTransform(transform);
}

void UIView::setAlpha(double alpha) {
  willChangeAnimatableState();
  layer_->setOpacity(static_cast<float>(alpha));
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
  attach(view, subviews_.size());
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
  attach(view, index);
}

void UIView::attach(const std::shared_ptr<UIView>& view, std::size_t index) {
  assertMainThread("UIView::addSubview");
  // A view inside its own subtree would make the tree a cycle.
  if (!view || view.get() == this || isDescendant(*view)) return;
  if (view->superview_ == this) {
    auto found = std::find(subviews_.begin(), subviews_.end(), view);
    if (static_cast<std::size_t>(found - subviews_.begin()) < index) --index;
    subviews_.erase(found);
  } else {
    view->removeFromSuperview();
  }
  subviews_.insert(
      subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
  view->superview_ = this;
  view->sublayersBelow_ = layer_->sublayers().size();
  ++view->orderVersion_;
  view->setNeedsLayout();
  setNeedsLayout();
  view->updateWindow();
}

void UIView::removeFromSuperview() {
  assertMainThread("UIView::removeFromSuperview");
  UIView* superview = superview_;
  if (!superview) return;
  superview_ = nullptr;
  // The superview's list may hold the last reference to this view.
  auto keep = std::find_if(superview->subviews_.begin(), superview->subviews_.end(),
                           [this](const auto& view) { return view.get() == this; });
  if (keep == superview->subviews_.end()) return;
  auto self = std::move(*keep);
  superview->subviews_.erase(keep);
  superview->setNeedsLayout();
  updateWindow();
}

void UIView::updateWindow() {
  UIWindow* now = window();
  if (now != announcedWindow_) {
    announcedWindow_ = now;
    didMoveToWindow();
  }
  // Copied: a view told of its window may change its subviews.
  auto subviews = subviews_;
  for (const auto& subview : subviews) subview->updateWindow();
}

bool UIView::isDescendant(const UIView& ancestor) const {
  for (const UIView* view = this; view; view = view->superview_) {
    if (view == &ancestor) return true;
  }
  return false;
}

UIWindow* UIView::window() const {
  const UIView* view = this;
  while (view->superview_) view = view->superview_;
  return view->window_;
}

UITraitCollection UIView::traitCollection() const {
  if (auto* window = this->window()) return window->traitCollection();
  return UIScreen::main().traitCollection();
}

NSLayoutXAxisAnchor UIView::leadingAnchor() {
  return {weak_from_this(), NSLayoutAttribute::leading};
}
NSLayoutXAxisAnchor UIView::trailingAnchor() {
  return {weak_from_this(), NSLayoutAttribute::trailing};
}
NSLayoutXAxisAnchor UIView::centerXAnchor() {
  return {weak_from_this(), NSLayoutAttribute::centerX};
}
NSLayoutYAxisAnchor UIView::topAnchor() {
  return {weak_from_this(), NSLayoutAttribute::top};
}
NSLayoutYAxisAnchor UIView::bottomAnchor() {
  return {weak_from_this(), NSLayoutAttribute::bottom};
}
NSLayoutYAxisAnchor UIView::centerYAnchor() {
  return {weak_from_this(), NSLayoutAttribute::centerY};
}
NSLayoutDimension UIView::widthAnchor() {
  return {weak_from_this(), NSLayoutAttribute::width};
}
NSLayoutDimension UIView::heightAnchor() {
  return {weak_from_this(), NSLayoutAttribute::height};
}

void UIView::addConstraint(std::shared_ptr<NSLayoutConstraint> constraint) {
  constraints_.push_back(std::move(constraint));
}

void UIView::removeConstraint(const NSLayoutConstraint& constraint) {
  std::erase_if(constraints_, [&](const auto& c) { return c.get() == &constraint; });
}

void UIView::setNeedsLayout() {
  needsLayout_ = true;
}

void UIView::invalidateIntrinsicContentSize() {
  setNeedsLayout();
  if (superview_) superview_->setNeedsLayout();
}

void UIView::layoutIfNeeded() {
  assertMainThread("UIView::layoutIfNeeded");
  auto self = shared_from_this();
  if (needsLayout_) {
    needsLayout_ = false;
    layoutSubviews();
    if (auto controller = owningViewController_.lock()) controller->viewDidLayoutSubviews();
  }
  // Copied: a subview's layout may add or remove views of this one.
  auto subviews = subviews_;
  for (const auto& subview : subviews) subview->layoutIfNeeded();
}

void UIView::layoutSubviews() {
  solveConstraints(*this);
}

std::shared_ptr<UIView> UIView::hitTest(Point point) {
  if (isHidden() || alpha() < kMinimumHitAlpha || !userInteractionEnabled_) return nullptr;
  if (UIViewAnimator::shared().blocksInteraction(*this)) return nullptr;
  if (!pointInside(point)) return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    const auto& subview = *it;
    Point local = subview->layer()->transformToSuperlayer().inverted().apply(point);
    if (auto hit = subview->hitTest(local)) return hit;
  }
  return shared_from_this();
}

AffineTransform UIView::transformToWindow() const {
  AffineTransform transform = layer_->transformToSuperlayer();
  for (const UIView* view = superview_; view; view = view->superview_) {
    transform = transform.concatenating(view->layer()->transformToSuperlayer());
  }
  return transform;
}

Point UIView::convertFromWindow(Point point) const {
  return transformToWindow().inverted().apply(point);
}

Rect UIView::convert(const Rect& rect, const UIView& to) const {
  return transformToWindow().concatenating(to.transformToWindow().inverted()).apply(rect);
}

void UIView::touchesBegan(const UITouch& touch) {
  if (superview_) superview_->touchesBegan(touch);
}

void UIView::touchesMoved(const UITouch& touch) {
  if (superview_) superview_->touchesMoved(touch);
}

void UIView::touchesEnded(const UITouch& touch) {
  if (superview_) superview_->touchesEnded(touch);
}

void UIView::touchesCancelled(const UITouch& touch) {
  if (superview_) superview_->touchesCancelled(touch);
}

void UIView::addGestureRecognizer(std::shared_ptr<UIGestureRecognizer> recognizer) {
  assertMainThread("UIView::addGestureRecognizer");
  if (!recognizer) return;
  recognizer->view_ = weak_from_this();
  gestureRecognizers_.push_back(std::move(recognizer));
}

void UIView::animate(double duration, double delay, UIViewAnimationOptions options,
                     std::function<void()> animations, std::function<void(bool)> completion) {
  UIViewAnimator::shared().animate(duration, delay, options, animations, std::move(completion));
}

void UIView::animate(double duration, std::function<void()> animations,
                     std::function<void(bool)> completion) {
  animate(duration, 0, UIViewAnimationOptions::none, std::move(animations), std::move(completion));
}

}  // namespace velmoradine
