#pragma once

// The tap-to-share toast a UGC can present instead of its share sheet: a
// white, rounded banner with the host's message that slides down from above
// the top edge of the host's view, stays five seconds, slides back up and is
// removed. Tapping it while it is there runs `onTap` (which shows the share
// sheet); it takes one tap, so a second one cannot start a second sheet and
// with it a second share.
//
// Main thread only. The timings are on the Clock current when the toast is
// shown, so tests step through them with a ManualClock.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "velmoradine/platform/graphics/font.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

struct UGCToast {
  static constexpr double kHeight = 60;
  static constexpr double kWidthFraction = 0.8;
  static constexpr double kHiddenY = -60;
  static constexpr double kShownY = 60;
  static constexpr double kSlideSeconds = 0.15;
  static constexpr auto kShownFor = std::chrono::seconds(5);
  // The system face, bold, at 16 points.
  static Font titleFont() { return Font("systemFont-Bold", 16); }

  // Adds the toast to `viewController`'s view and starts it sliding in.
  // Returns the toast's button, which its superview holds until removal.
  static std::shared_ptr<UIButton> show(const std::shared_ptr<UIViewController>& viewController,
                                        const std::string& message, std::function<void()> onTap);
};

}  // namespace velmoradine
