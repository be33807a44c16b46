#pragma once

// A dispatch group counts outstanding work: `enter()` before starting a piece
// of work, `leave()` when it is done. `notify` tasks run, on their queues, once
// the count is back to zero; `wait` blocks until then.
//
// Copies of a group refer to the same count, so a group can be captured by
// value in completions. Safe from any thread. Leaving more often than entering
// is a programming error and stops the process.

#include <chrono>
#include <memory>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine {

class DispatchGroup {
 public:
  DispatchGroup();

  void enter();
  void leave();
  // Runs `task` on `queue` when the group is empty: at once (asynchronously)
  // if it is empty now, else after the last `leave`.
  void notify(const std::shared_ptr<DispatchQueue>& queue, Task task);
  // Blocks until the group is empty.
  void wait();
  // Blocks until the group is empty or `timeout` has passed; true when empty.
  bool waitFor(std::chrono::steady_clock::duration timeout);

  // Runs `task` on `queue` as a member of the group.
  void async(const std::shared_ptr<DispatchQueue>& queue, Task task);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace velmoradine
