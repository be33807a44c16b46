#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"

#include <algorithm>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {
namespace {

constexpr double kPageSheetCornerRadius = 10;
const Color kDimmingColor = Color::rgba(0, 0, 0, 0.4);

bool isSheet(UIModalPresentationStyle style) {
  return style == UIModalPresentationStyle::automatic ||
         style == UIModalPresentationStyle::pageSheet;
}

}  // namespace

UIPresentationController::UIPresentationController(std::weak_ptr<UIViewController> presented)
    : presented_(std::move(presented)) {}

std::shared_ptr<UIViewController> UIPresentationController::presentingViewController() const {
  auto presented = presented_.lock();
  return presented ? presented->presentingViewController() : nullptr;
}

bool UIPresentationController::allowsInteractiveDismissal() const {
  auto presented = presented_.lock();
  return presented && !transitioning_ && isSheet(presented->modalPresentationStyle()) &&
         !presented->isModalInPresentation();
}

Rect UIPresentationController::screenBounds() const {
  if (auto presenting = presentingViewController()) {
    if (presenting->isViewLoaded() && presenting->view()->window()) {
      return presenting->view()->window()->screen().bounds();
    }
  }
  return UIScreen::main().bounds();
}

Rect UIPresentationController::presentedFrame(const Rect& screen) const {
  auto presented = presented_.lock();
  if (!presented || !isSheet(presented->modalPresentationStyle())) return screen;
  return Rect(0, kPageSheetTopInset, screen.width(), screen.height() - kPageSheetTopInset);
}

void UIPresentationController::present(bool animated, std::function<void()> completion) {
  auto presented = presented_.lock();
  if (!presented) return;
  Rect screen = screenBounds();
  container_ = std::make_shared<UIView>(screen);
  bool sheet = isSheet(presented->modalPresentationStyle());
  dimming_ = std::make_shared<UIView>(screen);
  dimming_->setBackgroundColor(sheet ? std::optional(kDimmingColor) : std::nullopt);
  container_->addSubview(dimming_);
  const auto& view = presented->view();
  view->setTransform(AffineTransform::identity());
  view->setFrame(presentedFrame(screen));
  if (sheet) {
    view->layer()->setCornerRadius(kPageSheetCornerRadius);
    view->layer()->setMaskedCorners(
        CornerMaskSet{0}.insert(CornerMask::minXMinYCorner).insert(CornerMask::maxXMinYCorner));
    view->setClipsToBounds(true);
  }
  container_->addSubview(view);
  if (!animated) {
    if (completion) completion();
    return;
  }
  transitioning_ = true;
  Point resting = view->center();
  view->setCenter({resting.x, resting.y + screen.height()});
  dimming_->setAlpha(0);
  UIView::animate(
      kTransitionDuration, 0, UIViewAnimationOptions::curveEaseOut,
      [&] {
        view->setCenter(resting);
        dimming_->setAlpha(1);
      },
      [this, keep = presented, completion = std::move(completion)](bool) {
        transitioning_ = false;
        if (completion) completion();
      });
}

void UIPresentationController::dismiss(bool animated, bool interactive,
                                       std::function<void()> completion) {
  auto presented = presented_.lock();
  if (!presented || !container_ || transitioning_) return;
  // What the presented controller presents goes with it.
  if (presented->presentedViewController()) {
    presented->presentedViewController()->presentationController()->detach();
  }
  auto finish = [this, keep = presented, interactive, completion = std::move(completion)] {
    transitioning_ = false;
    detach();
    if (completion) completion();
    if (interactive) {
      if (auto delegate = delegate_.lock()) delegate->presentationControllerDidDismiss(*this);
    }
  };
  if (!animated) {
    finish();
    return;
  }
  transitioning_ = true;
  const auto& view = presented->view();
  double height = container_->bounds().height();
  UIView::animate(
      kTransitionDuration, 0, UIViewAnimationOptions::curveEaseIn,
      [&] {
        view->setTransform(AffineTransform::makeTranslation(0, height));
        dimming_->setAlpha(0);
      },
      [finish = std::move(finish)](bool) mutable { finish(); });
}

void UIPresentationController::detach() {
  auto presented = presented_.lock();
  if (!presented) return;
  if (auto presenting = presented->presentingViewController()) presenting->presented_.reset();
  presented->presenting_.reset();
  if (presented->isViewLoaded()) {
    presented->view()->removeFromSuperview();
    presented->view()->setTransform(AffineTransform::identity());
  }
  container_.reset();
  dimming_.reset();
}

void UIPresentationController::dragTo(double distance) {
  auto presented = presented_.lock();
  if (!presented || !container_) return;
  double offset = std::max(0.0, distance);
  presented->view()->setTransform(AffineTransform::makeTranslation(0, offset));
  dimming_->setAlpha(1 - std::min(1.0, offset / container_->bounds().height()));
}

void UIPresentationController::endDrag(double distance) {
  auto presented = presented_.lock();
  if (!presented || !container_) return;
  if (distance >= kDismissThreshold * presented->view()->bounds().height()) {
    dismiss(true, true, {});
    return;
  }
  transitioning_ = true;
  UIView::animate(
      kTransitionDuration, 0, UIViewAnimationOptions::curveEaseOut,
      [&] {
        presented->view()->setTransform(AffineTransform::identity());
        dimming_->setAlpha(1);
      },
      [this, keep = presented](bool) { transitioning_ = false; });
}

}  // namespace velmoradine
