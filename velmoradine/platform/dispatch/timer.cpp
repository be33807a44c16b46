#include "velmoradine/platform/dispatch/timer.hpp"

namespace velmoradine {

std::shared_ptr<Timer> Timer::scheduledTimer(Clock::Duration interval, bool repeats, Block block,
                                             RunLoop& runLoop, std::shared_ptr<Clock> clock) {
  auto timer = std::make_shared<Timer>(interval, repeats, std::move(block), runLoop, clock);
  timer->scheduleNext(clock->uptime() + interval);
  return timer;
}

Timer::Timer(Clock::Duration interval, bool repeats, Block block, RunLoop& runLoop,
             std::shared_ptr<Clock> clock)
    : interval_(interval),
      repeats_(repeats),
      block_(std::move(block)),
      runLoop_(runLoop.shared_from_this()),
      clock_(std::move(clock)) {}

void Timer::scheduleNext(Clock::Instant due) {
  std::lock_guard lock(mutex_);
  if (!valid_) return;
  // The clock's call holds the timer strongly: a scheduled timer stays alive
  // until it is invalidated, as a timer on a run loop does.
  pending_ = clock_->schedule(due, [self = shared_from_this(), due] {
    if (self->repeats_) self->scheduleNext(due + self->interval_);
    self->runLoop_->perform([self] { self->fireOnLoop(); });
  });
}

void Timer::fireOnLoop() {
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return;
    if (!repeats_) valid_ = false;
  }
  block_(*this);
}

void Timer::invalidate() {
  Clock::TimerId pending = 0;
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return;
    valid_ = false;
    pending = pending_;
  }
  clock_->cancel(pending);
}

bool Timer::isValid() const {
  std::lock_guard lock(mutex_);
  return valid_;
}

}  // namespace velmoradine
