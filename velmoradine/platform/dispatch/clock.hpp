#pragma once

// All time in the kit goes through a Clock: delays, repeating timers and the
// dates the logic compares. Production code uses the system clock; tests use a
// ManualClock and advance it, so a 120-second timer fires without waiting.
//
// Guarantees:
// - A scheduled call runs at most once, never before now() reaches its
//   deadline, and calls are made in deadline order (ties in scheduling order).
// - A call is brief by contract: it hands work to a queue or run loop. It runs
//   on the system clock's timer thread, or on the thread that advances a
//   ManualClock.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace velmoradine {

class Clock {
 public:
  using TimePoint = std::chrono::system_clock::time_point;
  using Duration = std::chrono::system_clock::duration;
  using TimerId = std::uint64_t;

  virtual ~Clock() = default;

  virtual TimePoint now() const = 0;
  // Calls `fire` once `now()` has reached `deadline`. A deadline already
  // passed fires as soon as possible.
  virtual TimerId schedule(TimePoint deadline, std::function<void()> fire) = 0;
  // Cancels a call that has not started; true when it was still pending.
  virtual bool cancel(TimerId id) = 0;

  static std::shared_ptr<Clock> system();
  // The clock that delays and timers use when none is given: the system clock
  // unless a test installed another one.
  static std::shared_ptr<Clock> current();
  static void setCurrent(std::shared_ptr<Clock> clock);
};

// A clock that moves only when told to. Thread-safe.
class ManualClock final : public Clock {
 public:
  // Starts at 2026-01-01T00:00:00Z unless told otherwise.
  explicit ManualClock(TimePoint start = TimePoint(std::chrono::seconds(1767225600)));

  TimePoint now() const override;
  TimerId schedule(TimePoint deadline, std::function<void()> fire) override;
  bool cancel(TimerId id) override;

  // Moves time forward by `delta`, making every call that falls due, in
  // deadline order, on the calling thread; now() reads each call's deadline
  // while it runs. Calls scheduled meanwhile fire too if they fall due.
  void advance(Duration delta);
  std::size_t pendingCount() const;

 private:
  mutable std::mutex mutex_;
  TimePoint now_;
  TimerId nextId_ = 1;
  std::multimap<std::pair<TimePoint, TimerId>, std::function<void()>> pending_;
};

}  // namespace velmoradine
