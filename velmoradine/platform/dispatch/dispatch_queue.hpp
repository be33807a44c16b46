#pragma once

// Dispatch queues: where the kit's work runs.
//
// Guarantees:
// - A serial queue runs its tasks one at a time, in the order `async` was
//   called (calls from one thread keep their order; calls racing from several
//   threads are ordered by whichever enqueues first). Everything a task wrote
//   is visible to the next task of the same queue.
// - A serial queue is a sequence, not a thread: its tasks may run on
//   different worker threads, never two at once.
// - The main queue runs its tasks on the main run loop's thread, in order
//   (see run_loop.hpp); the global queue runs tasks concurrently.
// - `asyncAfter` runs the task no earlier than the delay, measured on the
//   given clock, and then in order with the queue's other tasks.
// - Inside a task, `DispatchQueue::current()` is the queue running it, and
//   `assertCurrent()` checks a threading contract.

#include <atomic>
#include <memory>
#include <string>

#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/dispatch/task.hpp"

namespace velmoradine {

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
 public:
  virtual ~DispatchQueue() = default;
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  // A new serial queue. The label names it in logs and debuggers.
  static std::shared_ptr<DispatchQueue> serial(std::string label);
  // The queue of the main run loop.
  static std::shared_ptr<DispatchQueue> main();
  // The process-wide concurrent queue.
  static std::shared_ptr<DispatchQueue> global();
  // The queue whose task is running on this thread, or null.
  static DispatchQueue* current();

  // Schedules `task` and returns at once. Safe from any thread.
  virtual void async(Task task) = 0;
  // Schedules `task` once `delay` has passed on `clock`.
  void asyncAfter(Clock::Duration delay, Task task,
                  const std::shared_ptr<Clock>& clock = Clock::current());
  // Runs `task` on this queue and waits for it. Calling it from a task of the
  // same serial queue is a deadlock and stops the process.
  void sync(Task task);

  const std::string& label() const { return label_; }
  bool isCurrent() const { return current() == this; }
  // Stops the process with a message naming the queue when the caller is not
  // running on it.
  void assertCurrent() const;

 protected:
  explicit DispatchQueue(std::string label) : label_(std::move(label)) {}

  // Marks this thread as running `queue` for the lifetime of the scope.
  class CurrentScope {
   public:
    explicit CurrentScope(DispatchQueue* queue);
    ~CurrentScope();

   private:
    DispatchQueue* previous_;
  };

 private:
  std::string label_;
};

}  // namespace velmoradine
