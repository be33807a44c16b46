#pragma once

// The event queue: wrapped events waiting for the next upload, in memory only
// (empty after a restart), with no bound on its length and no expiry.
//
// Threading: events are logged on the main thread while an upload's
// completion re-queues a failed batch from the network's callback queue, so
// `AnalyticsDatastore` guards its list with a lock inside; every operation is
// safe from any thread and appending is O(1) however long the queue is.

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "velmoradine/model/analytics_records.hpp"

namespace velmoradine {

class AnalyticsDatastoreProtocol {
 public:
  virtual ~AnalyticsDatastoreProtocol() = default;

  // Appends at the end of the queue.
  virtual void addEvent(WrappedAnalyticsEvent event) = 0;
  // A copy of the whole queue, oldest first; the queue is left unchanged.
  virtual std::vector<WrappedAnalyticsEvent> allEvents() const = 0;
  virtual void destroyAll() = 0;

  // The whole queue, leaving it empty, in one step: an event logged from
  // another thread lands either in the result or in the emptied queue, never
  // in neither. The default composes `allEvents()` and `destroyAll()`, which
  // is one step only for a store used from a single thread.
  virtual std::vector<WrappedAnalyticsEvent> takeAllEvents();
  // Puts `events` (a batch taken earlier) back at the front of the queue, in
  // their order, ahead of the events logged since it was taken, so the queue
  // stays in logging order. The default is one step only for a store used
  // from a single thread.
  virtual void requeueEvents(std::vector<WrappedAnalyticsEvent> events);
};

class AnalyticsDatastore final : public AnalyticsDatastoreProtocol {
 public:
  static std::shared_ptr<AnalyticsDatastore> shared();

  AnalyticsDatastore() = default;

  void addEvent(WrappedAnalyticsEvent event) override;
  std::vector<WrappedAnalyticsEvent> allEvents() const override;
  void destroyAll() override;
  std::vector<WrappedAnalyticsEvent> takeAllEvents() override;
  void requeueEvents(std::vector<WrappedAnalyticsEvent> events) override;

 private:
  mutable std::mutex mutex_;
  // A deque so that appending never moves the events already queued.
  std::deque<WrappedAnalyticsEvent> events_;  // Guarded by mutex_.
};

}  // namespace velmoradine
