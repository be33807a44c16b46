#pragma once

// What the tests of the desktop services' screens share: a window on a
// manual clock to show screens in and tap them.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine::testing {

class ScreenTest : public ::testing::Test {
 protected:
  ScreenTest();
  ~ScreenTest() override;

  // Moves time on and runs what fell due on the main run loop.
  void advance(double seconds);
  // The view of the top controller showing `text` in a label, or null.
  std::shared_ptr<UIView> viewShowing(const std::string& text);
  // Taps the middle of the label showing `text` (a label passes the touch
  // to the button or row it sits in); fails the test when none shows it.
  void tapText(const std::string& text);

  ScopedManualClock clock;
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<UIViewController> root;
};

}  // namespace velmoradine::testing
