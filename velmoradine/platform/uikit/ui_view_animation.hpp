#pragma once

// Timed view animations. `UIView::animate` runs its block at once, so the
// model (frame, centre, alpha, ...) holds the final values straight away;
// the animator remembers where each changed view started and the window
// draws the interpolated state until the animation's time is up, measured on
// the Clock that was current when the animation began. The completion runs
// on the main run loop when that time has passed (a ManualClock moves it in
// tests). A view animating without `allowUserInteraction` is not hit by
// touches meanwhile. A new animation of a view takes over from wherever the
// view is shown at that moment; the one it replaces completes with false.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/uikit/option_set.hpp"

namespace velmoradine {

class UIView;

enum class UIViewAnimationOptions : std::uint32_t {
  none = 0,
  allowUserInteraction = 1U << 1,
  curveEaseInOut = 0U << 16,
  curveEaseIn = 1U << 16,
  curveEaseOut = 2U << 16,
  curveLinear = 3U << 16,
};
template <>
inline constexpr bool kIsOptionSet<UIViewAnimationOptions> = true;

// What an animation interpolates.
struct UIViewAnimatableState {
  Rect bounds;
  Point center;
  AffineTransform transform;
  double alpha = 1;
  friend bool operator==(const UIViewAnimatableState&, const UIViewAnimatableState&) = default;
};

class UIViewAnimator {
 public:
  static UIViewAnimator& shared();

  void animate(double duration, double delay, UIViewAnimationOptions options,
               const std::function<void()>& animations, std::function<void(bool)> completion);
  // Called by a view right before it changes its animatable state.
  void willChange(UIView& view);
  // The state the view shows now, while it animates.
  std::optional<UIViewAnimatableState> presentationState(const UIView& view) const;
  bool blocksInteraction(const UIView& view) const;
  bool hasRunningAnimations() const { return !running_.empty(); }

 private:
  struct Running {
    UIViewAnimatableState from;
    UIViewAnimatableState to;
    Clock::Instant start;
    Clock::Duration duration;
    std::shared_ptr<Clock> clock;
    std::uint32_t curve = 0;
    bool allowsInteraction = false;
    std::uint64_t group = 0;
  };
  struct Group {
    std::size_t remaining = 0;
    bool finished = true;
    std::function<void(bool)> completion;
  };
  using Captures = std::map<std::uint64_t, std::pair<std::weak_ptr<UIView>, UIViewAnimatableState>>;

  void replace(std::uint64_t view);
  void finishGroup(std::uint64_t group);

  std::vector<Captures> transactions_;
  std::map<std::uint64_t, Running> running_;  // by view identifier
  std::map<std::uint64_t, Group> groups_;
  std::uint64_t nextGroup_ = 1;
};

}  // namespace velmoradine
