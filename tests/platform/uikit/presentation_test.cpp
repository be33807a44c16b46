#include <gtest/gtest.h>

#include <string>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"

namespace velmoradine::testing {
namespace {

class RecordingDelegate : public UIAdaptivePresentationControllerDelegate {
 public:
  void presentationControllerDidDismiss(UIPresentationController&) override { ++dismissals; }
  int dismissals = 0;
};

class PresentationTest : public UIKitTest {
 protected:
  PresentationTest() {
    sheet = std::make_shared<UIViewController>();
    sheet->presentationController()->setDelegate(delegate);
  }

  void presentSheet(bool animated) {
    root->present(sheet, animated, [this] { events += "presented "; });
  }

  std::shared_ptr<UIViewController> sheet;
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::string events;
};

TEST_F(PresentationTest, CompletionsRunOnceTheTransitionHasEnded) {
  struct Case {
    const char* name;
    bool animated;
    double secondsUntilDone;
  } cases[] = {{"without animation", false, 0},
               {"animated", true, UIPresentationController::kTransitionDuration}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    events.clear();
    presentSheet(c.animated);
    EXPECT_EQ(events, c.animated ? "" : "presented ");
    EXPECT_EQ(window->topViewController(), sheet);
    advance(c.secondsUntilDone);
    EXPECT_EQ(events, "presented ");

    sheet->dismiss(c.animated, [this] { events += "dismissed "; });
    EXPECT_EQ(window->topViewController(), c.animated ? sheet : root);
    advance(c.secondsUntilDone);
    EXPECT_EQ(events, "presented dismissed ");
    EXPECT_EQ(window->topViewController(), root);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->presentingViewController(), nullptr);
  }
  EXPECT_EQ(delegate->dismissals, 0) << "a programmatic dismissal is no swipe";
}

TEST_F(PresentationTest, ASwipeDownDismissesPastAQuarterOfTheSheetAndTellsTheDelegate) {
  presentSheet(false);
  double height = sheet->view()->bounds().height();
  struct Case {
    const char* name;
    double distance;
    bool dismissed;
  } cases[] = {
      {"a short swipe springs back", height * 0.2, false},
      {"a long swipe dismisses", height * 0.3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    window->swipeDown({180, 300}, c.distance);
    advance(UIPresentationController::kTransitionDuration);
    EXPECT_EQ(window->topViewController(), c.dismissed ? root : sheet);
    EXPECT_EQ(delegate->dismissals, c.dismissed ? 1 : 0);
    EXPECT_EQ(sheet->view()->transform(), AffineTransform::identity());
  }
}

TEST_F(PresentationTest, TouchesDuringATransitionOrOnADismissedSheetDoNothing) {
  int taps = 0;
  auto button = std::make_shared<UIButton>(Rect(100, 300, 100, 100));
  button->addAction(UIControlEvents::touchUpInside, [&] { ++taps; });
  sheet->view()->addSubview(button);
  presentSheet(true);
  window->tap({150, 400});
  EXPECT_EQ(taps, 0) << "while the sheet slides in";
  advance(UIPresentationController::kTransitionDuration);
  window->tap({150, 400});
  EXPECT_EQ(taps, 1);
  sheet->dismiss(false);
  window->tap({150, 400});
  EXPECT_EQ(taps, 1) << "the dismissed sheet's button";
}

TEST_F(PresentationTest, AnAlertActionDismissesTheAlertThenCallsItsHandler) {
  presentSheet(false);
  auto alert = std::make_shared<UIAlertController>("Error", "Something failed",
                                                   UIAlertControllerStyle::alert);
  alert->addAction({"OK", UIAlertActionStyle::default_,
                    [&](const UIAlertAction& action) { events += action.title + " "; }});
  sheet->present(alert, false);
  window->layoutIfNeeded();
  auto ok = alert->buttonForAction(0);
  ASSERT_NE(ok, nullptr);
  window->tap(ok->convertToWindow({ok->bounds().midX(), ok->bounds().midY()}));
  EXPECT_EQ(events, "presented ") << "the handler waits for the dismissal";
  advance(UIPresentationController::kTransitionDuration);
  EXPECT_EQ(events, "presented OK ");
  EXPECT_EQ(window->topViewController(), sheet);
}

}  // namespace
}  // namespace velmoradine::testing
