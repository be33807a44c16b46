#include "velmoradine/platform/dispatch/clock.hpp"

#include <algorithm>
#include <condition_variable>
#include <thread>

namespace velmoradine {
namespace {

// Removes the timer `id` from a deadline-ordered list; false when it has
// fired or was never there.
template <typename Pending>
bool eraseTimer(Pending& pending, Clock::TimerId id) {
  auto found =
      std::ranges::find_if(pending, [id](const auto& entry) { return entry.first.second == id; });
  if (found == pending.end()) return false;
  pending.erase(found);
  return true;
}

// The system clock's calls are made by one timer thread that sleeps on the
// steady clock until the earliest deadline. It lives for the whole process.
class SystemClock final : public Clock {
 public:
  SystemClock() : thread_([this] { run(); }) { thread_.detach(); }

  TimePoint now() const override { return std::chrono::system_clock::now(); }
  Instant uptime() const override { return std::chrono::steady_clock::now(); }

  TimerId schedule(Instant deadline, std::function<void()> fire) override {
    std::lock_guard lock(mutex_);
    TimerId id = nextId_++;
    pending_.emplace(std::make_pair(deadline, id), std::move(fire));
    wake_.notify_one();
    return id;
  }

  bool cancel(TimerId id) override {
    std::lock_guard lock(mutex_);
    return eraseTimer(pending_, id);
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (pending_.empty()) {
        wake_.wait(lock);
        continue;
      }
      auto first = pending_.begin();
      const Instant deadline = first->first.first;
      if (deadline > uptime()) {
        wake_.wait_until(lock, deadline);
        continue;
      }
      auto fire = std::move(first->second);
      pending_.erase(first);
      lock.unlock();
      fire();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  TimerId nextId_ = 1;
  std::multimap<std::pair<Instant, TimerId>, std::function<void()>> pending_;
  std::thread thread_;
};

std::mutex& currentMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<Clock>& currentSlot() {
  static std::shared_ptr<Clock> clock = Clock::system();
  return clock;
}

}  // namespace

std::shared_ptr<Clock> Clock::system() {
  // Never destroyed: its timer thread may still be waiting when the process
  // exits.
  static const std::shared_ptr<Clock> clock(new SystemClock, [](Clock*) {});
  return clock;
}

std::shared_ptr<Clock> Clock::current() {
  std::lock_guard lock(currentMutex());
  return currentSlot();
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
  std::lock_guard lock(currentMutex());
  currentSlot() = clock ? std::move(clock) : system();
}

ManualClock::ManualClock(TimePoint start) : date_(start) {}

Clock::TimePoint ManualClock::now() const {
  std::lock_guard lock(mutex_);
  return date_;
}

Clock::Instant ManualClock::uptime() const {
  std::lock_guard lock(mutex_);
  return uptime_;
}

Clock::TimerId ManualClock::schedule(Instant deadline, std::function<void()> fire) {
  std::lock_guard lock(mutex_);
  TimerId id = nextId_++;
  pending_.emplace(std::make_pair(deadline, id), std::move(fire));
  return id;
}

bool ManualClock::cancel(TimerId id) {
  std::lock_guard lock(mutex_);
  return eraseTimer(pending_, id);
}

void ManualClock::advance(Duration delta) {
  std::unique_lock lock(mutex_);
  const Instant target = uptime_ + delta;
  while (!pending_.empty() && pending_.begin()->first.first <= target) {
    auto first = pending_.begin();
    moveTo(first->first.first);
    auto fire = std::move(first->second);
    pending_.erase(first);
    lock.unlock();
    fire();
    lock.lock();
  }
  moveTo(target);
}

void ManualClock::setDate(TimePoint date) {
  std::lock_guard lock(mutex_);
  date_ = date;
}

void ManualClock::moveTo(Instant instant) {
  if (instant <= uptime_) return;
  date_ += instant - uptime_;
  uptime_ = instant;
}

std::size_t ManualClock::pendingCount() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

}  // namespace velmoradine
