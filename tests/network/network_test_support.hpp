#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine::testing {

// Records what a completion received, how often and on which thread.
template <typename T>
class Received {
 public:
  // A completion that records into this object.
  auto completion() {
    return [state = state_](Result<T> result) {
      std::lock_guard lock(state->mutex);
      state->result = std::move(result);
      state->thread = std::this_thread::get_id();
      ++state->calls;
    };
  }

  bool wait() {
    return waitUntil([state = state_] {
      std::lock_guard lock(state->mutex);
      return state->calls > 0;
    });
  }
  int calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
  }
  Result<T> result() const {
    std::lock_guard lock(state_->mutex);
    return *state_->result;
  }
  std::thread::id thread() const {
    std::lock_guard lock(state_->mutex);
    return state_->thread;
  }

 private:
  struct State {
    std::mutex mutex;
    std::optional<Result<T>> result;
    std::thread::id thread;
    int calls = 0;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace velmoradine::testing
