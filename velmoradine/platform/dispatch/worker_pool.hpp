#pragma once

// The threads that run every serial and concurrent queue of the kit. Queues
// are sequences of tasks, not threads: a serial queue occupies at most one
// worker at a time and gives it back when it runs dry.
//
// The pool keeps a thread per core. When work has waited a few milliseconds
// while every thread is busy (a task blocked on a group or a synchronous call
// must not starve the others), a watchdog adds a thread, up to a fixed
// ceiling. Threads beyond the core count exit after a few idle seconds.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "velmoradine/platform/dispatch/task.hpp"

namespace velmoradine {

class WorkerPool {
 public:
  // The process-wide pool; never destroyed.
  static WorkerPool& shared();

  explicit WorkerPool(std::size_t coreThreads, std::size_t maxThreads);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Runs `task` on some worker, soon. Safe from any thread.
  void post(Task task);
  std::size_t threadCount() const;

 private:
  struct Pending {
    std::chrono::steady_clock::time_point posted;
    Task task;
  };

  void spawnLocked();
  void workerLoop();
  void watchdogLoop();

  const std::size_t coreThreads_;
  const std::size_t maxThreads_;
  mutable std::mutex mutex_;
  std::condition_variable available_;
  std::condition_variable watchdogWake_;
  std::deque<Pending> tasks_;
  bool watchdogStarted_ = false;
  std::size_t threads_ = 0;
  // Waiting workers no task has been handed to yet. A post hands its task to
  // one of them by taking it out of this count and leaving a wake-up for the
  // waiters, so two quick posts never count on the same waiting worker.
  std::size_t idle_ = 0;
  std::size_t wakeUps_ = 0;
};

}  // namespace velmoradine
