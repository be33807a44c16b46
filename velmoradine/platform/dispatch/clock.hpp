#pragma once

// All time in the kit goes through a Clock: delays, repeating timers, elapsed
// time and the dates the logic compares. Production code uses the system's
// clocks; tests use a ManualClock and advance it, so a 120-second timer fires
// without waiting.
//
// A clock tells two kinds of time. `now()` is the date, which the user or a
// time server may set forward or back. `uptime()` only ever moves forward with
// elapsed time; delays, timers and elapsed times are measured on it, so a date
// change neither rushes nor stalls them.
//
// Guarantees:
// - A scheduled call runs at most once, never before uptime() reaches its
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
  // A date.
  using TimePoint = std::chrono::system_clock::time_point;
  // A moment on the monotonic scale of uptime().
  using Instant = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;
  using TimerId = std::uint64_t;

  virtual ~Clock() = default;

  virtual TimePoint now() const = 0;
  virtual Instant uptime() const = 0;
  // Calls `fire` once `uptime()` has reached `deadline`. A deadline already
  // passed fires as soon as possible.
  virtual TimerId schedule(Instant deadline, std::function<void()> fire) = 0;
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
  Instant uptime() const override;
  TimerId schedule(Instant deadline, std::function<void()> fire) override;
  bool cancel(TimerId id) override;

  // Moves time forward by `delta`, making every call that falls due, in
  // deadline order, on the calling thread; uptime() reads each call's
  // deadline while it runs, and now() moves with it. Calls scheduled
  // meanwhile fire too if they fall due.
  void advance(Duration delta);
  // Sets the date alone, as a user or a time server does; uptime() and the
  // scheduled calls stay where they are.
  void setDate(TimePoint date);
  std::size_t pendingCount() const;

 private:
  // Moves uptime to `instant` (never back), and the date by as much.
  void moveTo(Instant instant);

  mutable std::mutex mutex_;
  TimePoint date_;
  Instant uptime_;
  TimerId nextId_ = 1;
  std::multimap<std::pair<Instant, TimerId>, std::function<void()>> pending_;
};

}  // namespace velmoradine
