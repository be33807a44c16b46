#pragma once

#include <chrono>
#include <functional>

#include "velmoradine/platform/dispatch/clock.hpp"

namespace velmoradine::testing {

// Waits, without sleeping blindly, until `condition` holds: drives the main
// run loop when called on the main thread, else polls. Gives up after
// `timeout` and returns whether the condition held.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Installs a ManualClock as the current clock for the object's lifetime.
class ScopedManualClock {
 public:
  ScopedManualClock();
  ~ScopedManualClock();
  ScopedManualClock(const ScopedManualClock&) = delete;
  ScopedManualClock& operator=(const ScopedManualClock&) = delete;

  ManualClock& clock() { return *clock_; }
  const std::shared_ptr<ManualClock>& shared() const { return clock_; }
  void advance(Clock::Duration delta) { clock_->advance(delta); }

 private:
  std::shared_ptr<ManualClock> clock_;
};

}  // namespace velmoradine::testing
