#include "velmoradine/platform/dispatch/notification_center.hpp"

#include <algorithm>

namespace velmoradine {

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter* center = new NotificationCenter;
  return *center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(
    const void* observer, std::string name, const void* object,
    std::shared_ptr<DispatchQueue> queue, Block block) {
  std::lock_guard lock(mutex_);
  ObserverToken token = nextToken_++;
  registrations_.push_back({token, observer, std::move(name), object, std::move(queue),
                            std::make_shared<Block>(std::move(block))});
  return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](const Registration& r) { return r.token == token; });
}

void NotificationCenter::removeObserver(const void* observer, std::optional<std::string> name) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](const Registration& r) {
    return r.observer == observer && (!name || r.name == *name);
  });
}

void NotificationCenter::post(const Notification& notification) {
  std::vector<Registration> matching;
  {
    std::lock_guard lock(mutex_);
    for (const auto& registration : registrations_) {
      bool nameMatches = registration.name.empty() || registration.name == notification.name;
      bool objectMatches = !registration.object || registration.object == notification.object;
      if (nameMatches && objectMatches) matching.push_back(registration);
    }
  }
  for (const auto& registration : matching) {
    {
      // Skip observers removed by an earlier block of this same post.
      std::lock_guard lock(mutex_);
      bool stillRegistered =
          std::any_of(registrations_.begin(), registrations_.end(),
                      [&](const Registration& r) { return r.token == registration.token; });
      if (!stillRegistered) continue;
    }
    if (registration.queue) {
      registration.queue->async(
          [block = registration.block, notification] { (*block)(notification); });
    } else {
      (*registration.block)(notification);
    }
  }
}

std::size_t NotificationCenter::observerCount() const {
  std::lock_guard lock(mutex_);
  return registrations_.size();
}

}  // namespace velmoradine
