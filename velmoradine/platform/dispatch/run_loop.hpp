#pragma once

// A run loop runs the tasks handed to it, in order, on the one thread that
// drives it. The main run loop belongs to the process's main thread (the one
// that entered main()); it runs the main queue, the kit's user-interface work
// and the timers scheduled from the main thread.
//
// A host drives the main run loop in one of two ways:
// - with the built-in loop: `run()` until `stop()`, or `runUntil(condition)`;
// - from its own event loop (GTK, Qt, SDL): `setWakeUpHandler` is told, from
//   any thread, whenever work arrives; the host then calls `drain()` on the
//   main thread.
//
// Guarantees: tasks run in the order `perform` was called; a task performed
// from inside a task runs after it, in the same drain; nothing runs on the
// loop while nobody drives it. A loop outlives its thread for as long as
// something (a timer, say) holds it through `shared_from_this()`; work
// performed on the loop of a thread that has ended never runs.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "velmoradine/platform/dispatch/task.hpp"

namespace velmoradine {

class RunLoop : public std::enable_shared_from_this<RunLoop> {
 public:
  // The main thread's loop; never destroyed.
  static RunLoop& main();
  // The calling thread's loop (created on first use; the main loop on the
  // main thread).
  static RunLoop& current();
  static bool isMainThread();

  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  // Hands `task` to the loop. Safe from any thread.
  void perform(Task task);

  // Runs tasks as they arrive until `stop()` is called. Loop thread only.
  void run();
  void stop();
  // Runs tasks until `done()` holds (checked before waiting and after every
  // task) or `timeout` of real time has passed; returns whether `done()`
  // held. Loop thread only.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::steady_clock::duration timeout = std::chrono::seconds(30));
  // Runs every task that is waiting, including those they perform, and
  // returns how many ran. Loop thread only.
  std::size_t drain();

  // Called from any thread whenever a task arrives while a host loop drives
  // this run loop. Pass an empty function to remove it.
  void setWakeUpHandler(std::function<void()> handler);

  bool isCurrent() const;

 private:
  // `ownerThread` is the kernel thread id of the thread that drives the loop.
  explicit RunLoop(long ownerThread) : ownerThread_(ownerThread) {}
  bool runOne();

  const long ownerThread_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Task> tasks_;
  std::function<void()> wakeUpHandler_;
  bool stopRequested_ = false;
};

}  // namespace velmoradine
