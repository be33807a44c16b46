#include <gtest/gtest.h>

#include <string>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_gesture_recognizer.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine::testing {
namespace {

// Two buttons side by side in a panel, a label with a tap recogniser, and
// a hidden button; every tap is written into `tapped`.
class TouchTest : public UIKitTest {
 protected:
  TouchTest() {
    panel = addView(Rect(0, 100, 375, 100));
    left = addButton("left", Rect(20, 20, 100, 44));
    right = addButton("right", Rect(200, 20, 100, 44));
    hidden = addButton("hidden", Rect(20, 300, 100, 44), root->view());
    hidden->setHidden(true);
    logo = addView<UILabel>(Rect(100, 600, 175, 30));
    logo->setText("logo");
    logo->setUserInteractionEnabled(true);
    logo->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        [this](UIGestureRecognizer&) { tapped += "logo "; }));
    window->layoutIfNeeded();
  }

  std::shared_ptr<UIButton> addButton(const std::string& name, Rect frame,
                                      std::shared_ptr<UIView> parent = nullptr) {
    auto button = addView<UIButton>(frame, parent ? parent : panel);
    button->addAction(UIControlEvents::touchUpInside, [this, name] { tapped += name + " "; });
    return button;
  }

  std::shared_ptr<UIView> panel;
  std::shared_ptr<UIButton> left, right, hidden;
  std::shared_ptr<UILabel> logo;
  std::string tapped;
};

TEST_F(TouchTest, ATapReachesTheControlUnderTheFingerAndNothingElse) {
  struct Case {
    const char* name;
    Point point;
    std::string tapped;
  } cases[] = {
      {"left button", {70, 142}, "left "},
      {"right button", {250, 142}, "right "},
      {"between the buttons", {160, 142}, ""},
      {"outside every view but the root", {10, 500}, ""},
      {"on a hidden button", {70, 322}, ""},
      {"on a label with a recogniser", {180, 615}, "logo "},
      {"outside the screen", {-50, 2000}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tapped.clear();
    window->tap(c.point);
    EXPECT_EQ(tapped, c.tapped);
  }
}

TEST_F(TouchTest, AFingerLiftedOutsideTheButtonIsNoTap) {
  window->sendTouch(UITouchPhase::began, {70, 142});
  EXPECT_TRUE(left->isHighlighted());
  window->sendTouch(UITouchPhase::moved, {70, 400});
  EXPECT_FALSE(left->isHighlighted());
  window->sendTouch(UITouchPhase::ended, {70, 400});
  EXPECT_EQ(tapped, "");
}

TEST_F(TouchTest, DuringAnAnimationOnlyViewsThatAllowInteractionTakeTaps) {
  struct Case {
    const char* name;
    UIViewAnimationOptions options;
    std::string tapped;
  } cases[] = {
      {"interaction not allowed", UIViewAnimationOptions::curveLinear, ""},
      {"interaction allowed",
       UIViewAnimationOptions::curveLinear | UIViewAnimationOptions::allowUserInteraction, "left "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tapped.clear();
    UIView::animate(1, 0, c.options, [&] { panel->setAlpha(panel->alpha() == 1 ? 0.5 : 1); });
    window->tap({70, 142});
    EXPECT_EQ(tapped, c.tapped);
    advance(1);
    window->tap({70, 142});
    EXPECT_EQ(tapped, c.tapped + "left ") << "once the animation is over";
  }
}

TEST_F(TouchTest, EveryActionOfAControlRunsInOrderAndLivesAsLongAsTheControl) {
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watched = token;
  left->addAction(UIControlEvents::touchUpInside, [token, this] { tapped += "second "; });
  left->addAction(UIControlEvents::touchDown, [token, this] { tapped += "down "; });
  token.reset();

  window->tap({70, 142});
  EXPECT_EQ(tapped, "down left second ");
  EXPECT_FALSE(watched.expired()) << "the control keeps its actions";

  left->removeFromSuperview();
  left.reset();
  EXPECT_TRUE(watched.expired()) << "the actions go with the control";
}

}  // namespace
}  // namespace velmoradine::testing
