#include "velmoradine/platform/http/network_thread_queue.hpp"

namespace velmoradine {

NetworkThreadQueue::NetworkThreadQueue(std::string label, std::function<void()> wakeUp)
    : DispatchQueue(label),
      wakeUp_(std::move(wakeUp)),
      fallback_(DispatchQueue::serial(std::move(label))) {}

std::shared_ptr<NetworkThreadQueue> NetworkThreadQueue::make(std::string label,
                                                             std::function<void()> wakeUp) {
  return std::shared_ptr<NetworkThreadQueue>(
      new NetworkThreadQueue(std::move(label), std::move(wakeUp)));
}

void NetworkThreadQueue::async(Task task) {
  std::unique_lock lock(mutex_);
  if (!attached_) {
    // Still under the lock, so that racing tasks keep their order. The task
    // still sees this queue as its own.
    fallback_->async([self = shared_from_this(), task = std::move(task)]() mutable {
      CurrentScope scope(self.get());
      task();
    });
    return;
  }
  tasks_.push_back(std::move(task));
  wakeUp_();
}

bool NetworkThreadQueue::runOne() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  CurrentScope scope(this);
  task();
  return true;
}

void NetworkThreadQueue::drain() {
  while (runOne()) {
  }
}

void NetworkThreadQueue::detach() {
  while (true) {
    drain();
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) {
      attached_ = false;
      return;
    }
  }
}

}  // namespace velmoradine
