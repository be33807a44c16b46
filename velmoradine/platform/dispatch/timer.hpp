#pragma once

// A timer fires its block on the run loop it was scheduled on, after an
// interval measured on a clock, once or repeatedly.
//
// Guarantees:
// - The block runs on the run loop's thread, only while somebody drives it.
// - A repeating timer keeps its rhythm: each firing is due one interval after
//   the previous due time, not after the block ran. A clock that jumps over
//   several intervals delivers each of them.
// - After `invalidate()`, from any thread, the block never runs again:
//   validity is checked on the loop right before each firing.

#include <functional>
#include <memory>
#include <mutex>

#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine {

class Timer : public std::enable_shared_from_this<Timer> {
 public:
  using Block = std::function<void(Timer&)>;

  // Schedules a timer on `runLoop` (the caller's loop by default). The run
  // loop keeps the timer alive until it is invalidated (a one-shot timer
  // invalidates itself after firing).
  static std::shared_ptr<Timer> scheduledTimer(Clock::Duration interval, bool repeats, Block block,
                                               RunLoop& runLoop = RunLoop::current(),
                                               std::shared_ptr<Clock> clock = Clock::current());

  void invalidate();
  bool isValid() const;
  Clock::Duration timeInterval() const { return interval_; }

  Timer(Clock::Duration interval, bool repeats, Block block, RunLoop& runLoop,
        std::shared_ptr<Clock> clock);

 private:
  void scheduleNext(Clock::Instant due);
  void fireOnLoop();

  const Clock::Duration interval_;
  const bool repeats_;
  Block block_;
  const std::shared_ptr<RunLoop> runLoop_;
  const std::shared_ptr<Clock> clock_;

  mutable std::mutex mutex_;
  bool valid_ = true;
  Clock::TimerId pending_ = 0;
};

}  // namespace velmoradine
