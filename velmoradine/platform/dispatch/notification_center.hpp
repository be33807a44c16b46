#pragma once

// Broadcasts named notifications to the observers registered for them.
//
// Guarantees: `post` calls each matching observer synchronously, on the
// posting thread, in registration order, unless the observer named a queue, in
// which case its block runs there asynchronously. Observers may be added or
// removed from any thread, also from inside a block; a block removed before
// `post` reaches it is not called.

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine {

struct Notification {
  std::string name;
  // The object that posted it, compared by identity; may be null.
  const void* object = nullptr;
  std::map<std::string, std::any> userInfo;
};

class NotificationCenter {
 public:
  using Block = std::function<void(const Notification&)>;
  using ObserverToken = std::uint64_t;

  // The process-wide center.
  static NotificationCenter& defaultCenter();

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // Registers `block` for notifications named `name` (every name when empty)
  // posted by `object` (any sender when null), on behalf of `observer`
  // (an identity used for removal; may be null).
  ObserverToken addObserver(const void* observer, std::string name, const void* object,
                            std::shared_ptr<DispatchQueue> queue, Block block);
  ObserverToken addObserver(std::string name, Block block) {
    return addObserver(nullptr, std::move(name), nullptr, nullptr, std::move(block));
  }

  void removeObserver(ObserverToken token);
  // Removes what `observer` registered, for `name` only when given.
  void removeObserver(const void* observer, std::optional<std::string> name = std::nullopt);

  void post(const Notification& notification);
  void post(std::string name, const void* object = nullptr) {
    post(Notification{std::move(name), object, {}});
  }

  std::size_t observerCount() const;

 private:
  struct Registration {
    ObserverToken token;
    const void* observer;
    std::string name;
    const void* object;
    std::shared_ptr<DispatchQueue> queue;
    std::shared_ptr<Block> block;
  };

  mutable std::mutex mutex_;
  ObserverToken nextToken_ = 1;
  std::vector<Registration> registrations_;
};

}  // namespace velmoradine
