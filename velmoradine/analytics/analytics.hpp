#pragma once

// The analytics engine: wraps events observed anywhere in the kit with the
// time, the device, the user and the application, queues them, and uploads
// the whole queue every `interval` seconds and when stopped. A failed upload
// puts its batch back at the front of the queue, so it goes out, in logging
// order, with a later upload; nothing is lost while the process lives.
//
// Threading:
// - `addEvent` and `addObservabilityEvent` may be called from any thread and
//   never wait for the network: they append to the queue under its lock.
// - `start()`, `stop()` and destruction happen on one thread (the main
//   thread in the kit); the timer fires on the run loop of the thread that
//   called `start()`, and only while that loop is driven.
// - An upload's completion runs on the network's callback queue and touches
//   only the queue it was taken from, never this object.

#include <memory>
#include <mutex>

#include "velmoradine/analytics/analytics_datastore.hpp"
#include "velmoradine/analytics/device_helper.hpp"
#include "velmoradine/model/analytics_records.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/network/network_analytics_protocol.hpp"
#include "velmoradine/platform/dispatch/timer.hpp"
#include "velmoradine/state/datastores.hpp"

namespace velmoradine {

class Analytics {
 public:
  // The instance the kit uses, made on first use with every default.
  static const std::shared_ptr<Analytics>& shared();

  explicit Analytics(
      std::shared_ptr<AnalyticsDatastoreProtocol> datastore = AnalyticsDatastore::shared(),
      std::shared_ptr<ContribDatastoreProtocol> contribDatastore = ContribDatastore::shared(),
      std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore =
          ApplicationDatastore::shared(),
      std::shared_ptr<NetworkAnalyticsProtocol> network = Network::shared(), double interval = 120,
      std::shared_ptr<DeviceHelper> deviceHelper = DeviceHelper::shared());
  ~Analytics();
  Analytics(const Analytics&) = delete;
  Analytics& operator=(const Analytics&) = delete;

  // Wraps and queues an event; the wrapped record carries a copy of
  // `context` when one is given.
  void addObservabilityEvent(const ObservabilityEvent& event) {
    addObservabilityEvent(event, nullptr);
  }
  void addObservabilityEvent(const ObservabilityEvent& event,
                             const std::shared_ptr<const Context>& context);
  void addEvent(const AnalyticsEvent& event) { addEvent(event, nullptr); }
  void addEvent(const AnalyticsEvent& event, const std::shared_ptr<const Context>& context);

  // Begins periodic uploads on the calling thread's run loop; a running timer
  // is replaced, with an upload in between.
  void start();
  // Ends periodic uploads, with a final upload if they were running.
  void stop();

  std::shared_ptr<AnalyticsDatastoreProtocol> datastore() const;
  void setDatastore(std::shared_ptr<AnalyticsDatastoreProtocol> datastore);
  std::shared_ptr<ContribDatastoreProtocol> contribDatastore() const;
  void setContribDatastore(std::shared_ptr<ContribDatastoreProtocol> contribDatastore);
  std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore() const;
  void setApplicationDatastore(std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore);
  std::shared_ptr<NetworkAnalyticsProtocol> network() const;
  void setNetwork(std::shared_ptr<NetworkAnalyticsProtocol> network);
  // Seconds between uploads; takes effect at the next `start()`.
  double interval() const;
  void setInterval(double interval);
  // Present while started.
  std::shared_ptr<Timer> timer() const;

 private:
  WrappedAnalyticsEvent wrap(std::optional<AnalyticsEvent> event,
                             std::optional<ObservabilityEvent> observability,
                             const std::shared_ptr<const Context>& context) const;
  void upload();

  const TimestampFormatter dateFormatter;
  const std::shared_ptr<DeviceHelper> deviceHelper_;

  mutable std::mutex mutex_;
  std::shared_ptr<AnalyticsDatastoreProtocol> datastore_;               // Guarded by mutex_.
  std::shared_ptr<ContribDatastoreProtocol> contribDatastore_;          // Guarded by mutex_.
  std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore_;  // Guarded by mutex_.
  std::shared_ptr<NetworkAnalyticsProtocol> network_;                   // Guarded by mutex_.
  double interval_;                                                     // Guarded by mutex_.
  std::shared_ptr<Timer> timer_;                                        // Guarded by mutex_.
};

}  // namespace velmoradine
