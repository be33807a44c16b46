#include "velmoradine/facade/lifecycle.hpp"

#include "velmoradine/core/logger.hpp"

namespace velmoradine {

Lifecycle::Lifecycle(NotificationCenter& notificationCenter,
                     std::shared_ptr<ApplicationDatastoreProtocol> datastore,
                     std::shared_ptr<NetworkApplicationProtocol> network,
                     std::shared_ptr<Analytics> analytics)
    : notificationCenter_(notificationCenter),
      datastore_(std::move(datastore)),
      network_(std::move(network)),
      analytics_(std::move(analytics)) {}

// The observers capture `this`; none may outlive it.
Lifecycle::~Lifecycle() {
  notificationCenter_.removeObserver(this);
}

void Lifecycle::start() {
  // Stopping first keeps a second start from registering twice.
  stop();
  Logger::velmoradineDebug("[Lifecycle start]");
  notificationCenter_.addObserver(this, UIApplicationWillEnterForegroundNotification, nullptr,
                                  nullptr, [this](const Notification&) { willEnterForeground(); });
  notificationCenter_.addObserver(this, UIApplicationDidEnterBackgroundNotification, nullptr,
                                  nullptr, [this](const Notification&) { didEnterBackground(); });
  refreshApplication();
  analytics_->start();
}

void Lifecycle::stop() {
  Logger::velmoradineDebug("[Lifecycle stop]");
  analytics_->stop();
  notificationCenter_.removeObserver(this, UIApplicationWillEnterForegroundNotification);
  notificationCenter_.removeObserver(this, UIApplicationDidEnterBackgroundNotification);
}

// The timer stopped in the background starts again here, or events logged
// after the first trip to the background would never be uploaded.
void Lifecycle::willEnterForeground() {
  analytics_->addEvent(AnalyticsEvent{"lifecycle.app_opened"});
  refreshApplication();
  analytics_->start();
}

void Lifecycle::didEnterBackground() {
  analytics_->addEvent(AnalyticsEvent{"lifecycle.app_backgrounded"});
  analytics_->stop();
}

void Lifecycle::refreshApplication() {
  const Clock::Instant now = Clock::current()->uptime();
  if (lastUpdated_ && *lastUpdated_ + kRefreshInterval > now) return;
  lastUpdated_ = now;
  Logger::velmoradineDebug("[Lifecycle refreshApplication]");
  network_->application([datastore = datastore_](Result<ApplicationResponse> response) {
    // A failure was logged by the request layer; the previous settings stay.
    if (response) datastore->setApplication(std::move(*response));
  });
}

}  // namespace velmoradine
