#pragma once

// Ties the kit to the host application's foreground and background
// transitions: keeps the application settings fresh (fetched at start and on
// each return to the foreground, at most once a minute), logs the two
// lifecycle analytics events, and runs the analytics upload timer while the
// application is in the foreground.
//
// Threading: `start()`, `stop()` and the notification handlers run on the
// main thread (the host posts the two notifications there), and so does
// destruction. The settings fetch completes on the network's callback queue
// and only writes the application datastore, which takes its own lock.

#include <memory>
#include <optional>

#include "velmoradine/analytics/analytics.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/dispatch/notification_center.hpp"
#include "velmoradine/state/datastores.hpp"

namespace velmoradine {

// Posted by the host, on its main thread, when the application is about to
// come back to the foreground and once it has gone to the background.
inline constexpr char UIApplicationWillEnterForegroundNotification[] =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr char UIApplicationDidEnterBackgroundNotification[] =
    "UIApplicationDidEnterBackgroundNotification";

class LifecycleProtocol {
 public:
  virtual ~LifecycleProtocol() = default;
  virtual void start() = 0;
  virtual void stop() = 0;
};

class Lifecycle final : public LifecycleProtocol {
 public:
  // Settings are fetched again only once this much uptime has passed since
  // the last fetch began.
  static constexpr auto kRefreshInterval = std::chrono::seconds(60);

  explicit Lifecycle(
      NotificationCenter& notificationCenter = NotificationCenter::defaultCenter(),
      std::shared_ptr<ApplicationDatastoreProtocol> datastore = ApplicationDatastore::shared(),
      std::shared_ptr<NetworkApplicationProtocol> network = Network::shared(),
      std::shared_ptr<Analytics> analytics = Analytics::shared());
  ~Lifecycle() override;
  Lifecycle(const Lifecycle&) = delete;
  Lifecycle& operator=(const Lifecycle&) = delete;

  // Registers for the two notifications (once, however often it is called),
  // refreshes the settings and starts the analytics timer.
  void start() override;
  // Stops the analytics timer, with a final upload, and stops observing.
  void stop() override;

 private:
  void willEnterForeground();
  void didEnterBackground();
  void refreshApplication();

  NotificationCenter& notificationCenter_;
  const std::shared_ptr<ApplicationDatastoreProtocol> datastore_;
  const std::shared_ptr<NetworkApplicationProtocol> network_;
  const std::shared_ptr<Analytics> analytics_;
  // On the uptime scale, so that a change of date neither forces nor blocks
  // a refresh. Never reset: a failed fetch still holds back the next one.
  std::optional<Clock::Instant> lastUpdated_;
};

}  // namespace velmoradine
