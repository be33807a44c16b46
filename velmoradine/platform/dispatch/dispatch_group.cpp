#include "velmoradine/platform/dispatch/dispatch_group.hpp"

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {

struct DispatchGroup::State {
  std::mutex mutex;
  std::condition_variable empty;
  long count = 0;
  std::vector<std::pair<std::shared_ptr<DispatchQueue>, Task>> notifications;
};

DispatchGroup::DispatchGroup() : state_(std::make_shared<State>()) {}

void DispatchGroup::enter() {
  std::lock_guard lock(state_->mutex);
  ++state_->count;
}

void DispatchGroup::leave() {
  std::vector<std::pair<std::shared_ptr<DispatchQueue>, Task>> ready;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->count == 0) fatalError("unbalanced call to DispatchGroup::leave()");
    if (--state_->count > 0) return;
    ready.swap(state_->notifications);
    state_->empty.notify_all();
  }
  for (auto& [queue, task] : ready) queue->async(std::move(task));
}

void DispatchGroup::notify(const std::shared_ptr<DispatchQueue>& queue, Task task) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->count > 0) {
      state_->notifications.emplace_back(queue, std::move(task));
      return;
    }
  }
  queue->async(std::move(task));
}

void DispatchGroup::wait() {
  std::unique_lock lock(state_->mutex);
  state_->empty.wait(lock, [this] { return state_->count == 0; });
}

bool DispatchGroup::waitFor(std::chrono::steady_clock::duration timeout) {
  std::unique_lock lock(state_->mutex);
  return state_->empty.wait_for(lock, timeout, [this] { return state_->count == 0; });
}

void DispatchGroup::async(const std::shared_ptr<DispatchQueue>& queue, Task task) {
  enter();
  queue->async([group = *this, task = std::move(task)]() mutable {
    task();
    group.leave();
  });
}

}  // namespace velmoradine
