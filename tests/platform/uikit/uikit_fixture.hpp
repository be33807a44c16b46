#pragma once

// What the toolkit's tests share: a manual clock that animations and timers
// run on, and a window at the default screen showing a root controller.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine::testing {

class UIKitTest : public ::testing::Test {
 protected:
  UIKitTest() : window(std::make_shared<UIWindow>(UIScreen({375, 812}, 3))) {
    root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
  }
  ~UIKitTest() override {
    // Lets every animation of the test end, so none outlives it.
    advance(10);
  }

  // Moves time on and runs what fell due on the main run loop.
  void advance(double seconds) {
    clock.advance(
        std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds)));
    RunLoop::main().drain();
  }

  template <typename View = UIView>
  std::shared_ptr<View> addView(Rect frame, const std::shared_ptr<UIView>& parent = nullptr) {
    auto view = std::make_shared<View>(frame);
    (parent ? parent : root->view())->addSubview(view);
    return view;
  }

  ScopedManualClock clock;
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<UIViewController> root;
};

}  // namespace velmoradine::testing
