#include "velmoradine/platform/uikit/ui_view_animation.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/dispatch/timer.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {
namespace {

constexpr std::uint32_t kCurveMask = 3U << 16;

Clock::Duration seconds(double value) {
  return std::chrono::duration_cast<Clock::Duration>(
      std::chrono::duration<double>(std::max(0.0, std::isfinite(value) ? value : 0.0)));
}

double eased(double t, std::uint32_t curve) {
  switch (curve) {
    case static_cast<std::uint32_t>(UIViewAnimationOptions::curveLinear):
      return t;
    case static_cast<std::uint32_t>(UIViewAnimationOptions::curveEaseIn):
      return t * t;
    case static_cast<std::uint32_t>(UIViewAnimationOptions::curveEaseOut):
      return t * (2 - t);
    default:
      return t * t * (3 - 2 * t);
  }
}

double mix(double a, double b, double t) {
  return a + (b - a) * t;
}

UIViewAnimatableState interpolate(const UIViewAnimatableState& a, const UIViewAnimatableState& b,
                                  double t) {
  auto rect = [t](const Rect& p, const Rect& q) {
    return Rect(mix(p.origin.x, q.origin.x, t), mix(p.origin.y, q.origin.y, t),
                mix(p.size.width, q.size.width, t), mix(p.size.height, q.size.height, t));
  };
  const AffineTransform &m = a.transform, &n = b.transform;
  return {rect(a.bounds, b.bounds),
          {mix(a.center.x, b.center.x, t), mix(a.center.y, b.center.y, t)},
          {mix(m.a, n.a, t), mix(m.b, n.b, t), mix(m.c, n.c, t), mix(m.d, n.d, t),
           mix(m.tx, n.tx, t), mix(m.ty, n.ty, t)},
          mix(a.alpha, b.alpha, t)};
}

}  // namespace

UIViewAnimator& UIViewAnimator::shared() {
  assertMainThread("UIViewAnimator::shared");
  static UIViewAnimator* animator = new UIViewAnimator();
  return *animator;
}

void UIViewAnimator::willChange(UIView& view) {
  if (transactions_.empty()) return;
  auto& captures = transactions_.back();
  if (captures.contains(view.identifier())) return;
  captures.emplace(
      view.identifier(),
      std::pair{view.weak_from_this(), presentationState(view).value_or(view.animatableState())});
}

void UIViewAnimator::animate(double duration, double delay, UIViewAnimationOptions options,
                             const std::function<void()>& animations,
                             std::function<void(bool)> completion) {
  assertMainThread("UIView::animate");
  transactions_.emplace_back();
  if (animations) animations();
  Captures captures = std::move(transactions_.back());
  transactions_.pop_back();

  auto clock = Clock::current();
  std::uint64_t group = nextGroup_++;
  Group& entry = groups_[group];
  entry.completion = std::move(completion);
  auto start = clock->uptime() + seconds(delay);
  for (auto& [identifier, capture] : captures) {
    auto view = capture.first.lock();
    if (!view) continue;
    UIViewAnimatableState to = view->animatableState();
    if (to == capture.second) continue;
    replace(identifier);
    running_[identifier] = {capture.second,
                            to,
                            start,
                            seconds(duration),
                            clock,
                            static_cast<std::uint32_t>(options) & kCurveMask,
                            contains(options, UIViewAnimationOptions::allowUserInteraction),
                            group};
    ++entry.remaining;
  }
  auto end = seconds(delay) + seconds(duration);
  if (entry.remaining == 0) end = Clock::Duration::zero();
  Timer::scheduledTimer(
      end, false, [group](Timer&) { UIViewAnimator::shared().finishGroup(group); }, RunLoop::main(),
      clock);
}

void UIViewAnimator::replace(std::uint64_t view) {
  auto found = running_.find(view);
  if (found == running_.end()) return;
  auto group = groups_.find(found->second.group);
  running_.erase(found);
  if (group == groups_.end()) return;
  group->second.finished = false;
  --group->second.remaining;
}

void UIViewAnimator::finishGroup(std::uint64_t group) {
  auto found = groups_.find(group);
  if (found == groups_.end()) return;
  std::erase_if(running_, [group](const auto& entry) { return entry.second.group == group; });
  Group finished = std::move(found->second);
  groups_.erase(found);
  if (finished.completion) finished.completion(finished.finished);
}

std::optional<UIViewAnimatableState> UIViewAnimator::presentationState(const UIView& view) const {
  auto found = running_.find(view.identifier());
  if (found == running_.end()) return std::nullopt;
  const Running& running = found->second;
  auto elapsed = running.clock->uptime() - running.start;
  double t = 1;
  if (elapsed <= Clock::Duration::zero()) {
    t = 0;
  } else if (elapsed < running.duration) {
    t = std::chrono::duration<double>(elapsed) / std::chrono::duration<double>(running.duration);
  }
  return interpolate(running.from, running.to, eased(t, running.curve));
}

bool UIViewAnimator::blocksInteraction(const UIView& view) const {
  auto found = running_.find(view.identifier());
  return found != running_.end() && !found->second.allowsInteraction;
}

}  // namespace velmoradine
