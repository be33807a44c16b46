#pragma once

// The network thread of a libcurl session. It owns the multi handle and
// every easy handle; other threads talk to it only through `start` and
// `cancel`, and it talks back only by posting completions to the delegate
// queue, so no libcurl object is ever touched by two threads. Private to the
// http area.

#include <memory>

#include "velmoradine/platform/http/session_task.hpp"

namespace velmoradine::curl_session {

class Engine {
 public:
  // Starts the network thread. Without a delegate queue, completions run on
  // the network thread itself (see network_thread_queue.hpp).
  static std::shared_ptr<Engine> start(URLSessionConfiguration configuration,
                                       std::shared_ptr<DispatchQueue> delegateQueue);
  virtual ~Engine() = default;

  // The queue completions run on. Any thread.
  virtual const std::shared_ptr<DispatchQueue>& delegateQueue() const = 0;
  // Cancels what is left and stops the network thread. Idempotent. From any
  // other thread it waits for the network thread to end; from a completion
  // on the network thread it lets that thread end once the completion
  // returns.
  virtual void shutdown() = 0;
  // Hands a task to the network thread to run or to cancel. Any thread; a
  // task arriving after shutdown completes as cancelled.
  virtual void start(std::shared_ptr<SessionTask> task) = 0;
  virtual void cancel(std::shared_ptr<SessionTask> task) = 0;
};

}  // namespace velmoradine::curl_session
