#pragma once

// The serial queue a session uses for its completions when the host gives it
// none. Its tasks run on the session's network thread, between two rounds of
// libcurl work, so that a finished request reaches its completion without
// waking another thread. Once the network thread has stopped, tasks still
// arriving (late cancellations, say) run on a worker serial queue instead, in
// the order they arrived.
//
// A completion that runs long holds up the session's other transfers; the
// kit's completions decode a reply and hand it on, which is short.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine {

class NetworkThreadQueue final : public DispatchQueue {
 public:
  // `wakeUp` is called, with the queue's lock held, whenever a task arrives
  // while the network thread serves the queue.
  static std::shared_ptr<NetworkThreadQueue> make(std::string label, std::function<void()> wakeUp);

  void async(Task task) override;

  // Runs the tasks that are waiting, including those they add. Network
  // thread only.
  void drain();
  // Runs what is left and hands later tasks to the worker queue. Network
  // thread only; the last call the network thread makes on the queue.
  void detach();

 private:
  NetworkThreadQueue(std::string label, std::function<void()> wakeUp);
  bool runOne();

  const std::function<void()> wakeUp_;
  const std::shared_ptr<DispatchQueue> fallback_;
  std::mutex mutex_;
  std::deque<Task> tasks_;  // guarded by mutex_
  bool attached_ = true;    // guarded by mutex_
};

}  // namespace velmoradine
