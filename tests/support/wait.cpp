#include "tests/support/wait.hpp"

#include <thread>

#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine::testing {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  if (RunLoop::main().isCurrent()) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Work finishing on another queue does not wake the main loop, so the
    // loop is driven in short slices while the condition is re-checked.
    while (std::chrono::steady_clock::now() < deadline) {
      if (RunLoop::main().runUntil(condition, std::chrono::milliseconds(2))) return true;
    }
    return condition();
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

ScopedManualClock::ScopedManualClock() : clock_(std::make_shared<ManualClock>()) {
  Clock::setCurrent(clock_);
}

ScopedManualClock::~ScopedManualClock() {
  Clock::setCurrent(nullptr);
}

}  // namespace velmoradine::testing
