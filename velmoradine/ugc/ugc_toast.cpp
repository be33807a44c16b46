#include "velmoradine/ugc/ugc_toast.hpp"

#include "velmoradine/platform/dispatch/timer.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

const UIViewAnimationOptions kSlide =
    UIViewAnimationOptions::curveLinear | UIViewAnimationOptions::allowUserInteraction;

std::shared_ptr<UIButton> makeButton(double hostWidth, const std::string& message) {
  const double width = UGCToast::kWidthFraction * hostWidth;
  auto button = std::make_shared<UIButton>(Rect{hostWidth * (1 - UGCToast::kWidthFraction) / 2,
                                                UGCToast::kHiddenY, width, UGCToast::kHeight});
  button->setBackgroundColor(Color::white());
  button->setTitle(message);
  button->setTitleColor(Color::black());
  button->titleLabel()->setFont(UGCToast::titleFont());
  button->layer()->setCornerRadius(UGCToast::kHeight / 2);
  return button;
}

void slideTo(const std::shared_ptr<UIButton>& button, double y,
             std::function<void(bool)> completion = {}) {
  UIView::animate(
      UGCToast::kSlideSeconds, 0, kSlide,
      [button, y] {
        Rect frame = button->frame();
        frame.origin.y = y;
        button->setFrame(frame);
      },
      std::move(completion));
}

}  // namespace

std::shared_ptr<UIButton> UGCToast::show(const std::shared_ptr<UIViewController>& viewController,
                                         const std::string& message, std::function<void()> onTap) {
  const std::shared_ptr<UIView>& host = viewController->view();
  auto button = makeButton(host->bounds().size.width, message);
  console::writeLine("before add action");
  std::weak_ptr<UIButton> weakButton = button;
  button->addAction(UIControlEvents::touchUpInside, [weakButton, onTap = std::move(onTap)] {
    auto tapped = weakButton.lock();
    if (!tapped) return;
    // A disabled control is not hit: the second tap finds nothing.
    tapped->setEnabled(false);
    onTap();
  });
  console::writeLine("addSubview");
  host->addSubview(button);
  slideTo(button, kShownY);
  Timer::scheduledTimer(
      kShownFor, false,
      [button](Timer&) {
        slideTo(button, kHiddenY, [button](bool) { button->removeFromSuperview(); });
      },
      RunLoop::main());
  return button;
}

}  // namespace velmoradine
