#include <gtest/gtest.h>

#include <string>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ui_view_animation.hpp"

namespace velmoradine::testing {
namespace {

using AnimationTest = UIKitTest;

double shownY(const UIView& view) {
  auto state = UIViewAnimator::shared().presentationState(view);
  return (state ? state->center.y : view.center().y) - view.bounds().height() / 2;
}

// A toast that drops in from above the screen: the model holds the end at
// once, the screen shows the way there on the clock.
TEST_F(AnimationTest, TheScreenFollowsTheClockWhileTheModelHoldsTheEnd) {
  auto toast = addView(Rect(37.5, -60, 300, 60));
  std::string finished;
  UIView::animate(
      0.15, 0.1, UIViewAnimationOptions::curveLinear,
      [&] { toast->setFrame(Rect(37.5, 60, 300, 60)); },
      [&](bool done) { finished += done ? "finished " : "interrupted "; });
  EXPECT_DOUBLE_EQ(toast->frame().minY(), 60);
  struct Step {
    double advance;  // seconds, cumulative
    double y;
    std::string finished;
  } steps[] = {
      {0.05, -60, ""},  // still in the delay
      {0.05, -60, ""},  // the delay is over, no time has passed since
      {0.075, 0, ""},   // half way, linearly
      {0.075, 60, "finished "},
  };
  for (const auto& step : steps) {
    advance(step.advance);
    EXPECT_NEAR(shownY(*toast), step.y, 1e-9);
    EXPECT_EQ(finished, step.finished);
  }
  EXPECT_FALSE(UIViewAnimator::shared().presentationState(*toast));
}

TEST_F(AnimationTest, ANewAnimationTakesOverFromWhereTheViewIsShown) {
  auto view = addView(Rect(0, 0, 100, 100));
  std::string events;
  UIView::animate(
      1, 0, UIViewAnimationOptions::curveLinear, [&] { view->setAlpha(0); },
      [&](bool done) { events += done ? "first finished " : "first interrupted "; });
  advance(0.5);
  UIView::animate(
      1, 0, UIViewAnimationOptions::curveLinear, [&] { view->setAlpha(1); },
      [&](bool done) { events += done ? "second finished " : "second interrupted "; });
  EXPECT_DOUBLE_EQ(UIViewAnimator::shared().presentationState(*view)->alpha, 0.5);
  advance(0.5);
  EXPECT_EQ(events, "first interrupted ");
  EXPECT_DOUBLE_EQ(UIViewAnimator::shared().presentationState(*view)->alpha, 0.75);
  advance(0.5);
  EXPECT_EQ(events, "first interrupted second finished ");
}

}  // namespace
}  // namespace velmoradine::testing
