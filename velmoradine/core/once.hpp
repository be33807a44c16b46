#pragma once

// A run-once memo cell: the block runs at most once per cell; what it gives
// (or, when it gives nothing, the default passed with that first call) is
// remembered and returned to every later call. Thread-safe: concurrent first
// calls run the block once and all see its value.

#include <functional>
#include <mutex>
#include <optional>

namespace velmoradine {

template <typename Input, typename Output>
class Once {
 public:
  using Block = std::function<std::optional<Output>(const Input&)>;

  explicit Once(Block block) : block_(std::move(block)) {}

  Output once(const Input& input, const Output& defaultValue) {
    std::lock_guard lock(mutex_);
    if (!cache_) {
      std::optional<Output> computed = block_(input);
      cache_ = computed ? std::move(*computed) : defaultValue;
    }
    return *cache_;
  }

 private:
  const Block block_;
  std::mutex mutex_;
  std::optional<Output> cache_;
};

}  // namespace velmoradine
