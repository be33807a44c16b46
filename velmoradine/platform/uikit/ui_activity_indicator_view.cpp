#include "velmoradine/platform/uikit/ui_activity_indicator_view.hpp"

#include <chrono>
#include <numbers>

#include "velmoradine/platform/dispatch/timer.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"

namespace velmoradine {
namespace {

constexpr int kSpokeCount = 12;
constexpr auto kStepInterval = std::chrono::microseconds(1'000'000 / kSpokeCount);

bool isLarge(UIActivityIndicatorViewStyle style) {
  return style == UIActivityIndicatorViewStyle::large ||
         style == UIActivityIndicatorViewStyle::whiteLarge;
}

bool isWhite(UIActivityIndicatorViewStyle style) {
  return style == UIActivityIndicatorViewStyle::white ||
         style == UIActivityIndicatorViewStyle::whiteLarge;
}

double sideOf(UIActivityIndicatorViewStyle style) {
  return isLarge(style) ? 37 : 20;
}

// The spokes fade towards the tail so the turning reads as motion.
void buildSpokes(Layer& layer, double side, const Color& color) {
  layer.setSublayers({});
  double length = side * 0.28;
  double width = side * 0.08;
  for (int i = 0; i < kSpokeCount; ++i) {
    auto spoke = Layer::create();
    spoke->setBounds(Rect(0, 0, width, length));
    spoke->setCornerRadius(width / 2);
    spoke->setBackgroundColor(color.withAlpha(color.alpha * (1 - 0.7 * i / kSpokeCount)));
    spoke->setAnchorPoint({0.5, 1 + (side / 2 - length) / length});
    spoke->setPosition({side / 2, side / 2});
    spoke->setAffineTransform(
        AffineTransform::makeRotation(-2 * std::numbers::pi * i / kSpokeCount));
    layer.addSublayer(spoke);
  }
}

}  // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : UIView(Rect(0, 0, sideOf(style), sideOf(style))),
      style_(style),
      color_(isWhite(style) ? Color::white() : Color::rgba(0.6, 0.6, 0.6)),
      spokes_(std::make_shared<UIView>(Rect(0, 0, sideOf(style), sideOf(style)))) {
  spokes_->setUserInteractionEnabled(false);
  buildSpokes(*spokes_->layer(), sideOf(style), color_);
  addSubview(spokes_);
  setHidden(true);
}

UIActivityIndicatorView::~UIActivityIndicatorView() {
  if (timer_) timer_->invalidate();
}

void UIActivityIndicatorView::setColor(Color color) {
  color_ = color;
  buildSpokes(*spokes_->layer(), sideOf(style_), color_);
  spokes_->setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  if (!isAnimating()) setHidden(hides);
}

void UIActivityIndicatorView::startAnimating() {
  assertMainThread("UIActivityIndicatorView::startAnimating");
  setHidden(false);
  if (timer_) return;
  std::weak_ptr<UIView> weak = weak_from_this();
  timer_ = Timer::scheduledTimer(kStepInterval, true, [weak](Timer& timer) {
    auto view = std::static_pointer_cast<UIActivityIndicatorView>(weak.lock());
    if (!view) {
      timer.invalidate();
      return;
    }
    view->step();
  });
}

void UIActivityIndicatorView::stopAnimating() {
  assertMainThread("UIActivityIndicatorView::stopAnimating");
  if (timer_) timer_->invalidate();
  timer_.reset();
  if (hidesWhenStopped_) setHidden(true);
}

void UIActivityIndicatorView::step() {
  phase_ = (phase_ + 1) % kSpokeCount;
  spokes_->setTransform(AffineTransform::makeRotation(2 * std::numbers::pi * phase_ / kSpokeCount));
}

Size UIActivityIndicatorView::intrinsicContentSize() const {
  return {sideOf(style_), sideOf(style_)};
}

void UIActivityIndicatorView::layoutSubviews() {
  UIView::layoutSubviews();
  const Rect& b = bounds();
  spokes_->setCenter({b.midX(), b.midY()});
}

}  // namespace velmoradine
