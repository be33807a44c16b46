#include "velmoradine/analytics/analytics_datastore.hpp"

#include <iterator>

namespace velmoradine {

std::vector<WrappedAnalyticsEvent> AnalyticsDatastoreProtocol::takeAllEvents() {
  std::vector<WrappedAnalyticsEvent> events = allEvents();
  destroyAll();
  return events;
}

void AnalyticsDatastoreProtocol::requeueEvents(std::vector<WrappedAnalyticsEvent> events) {
  std::vector<WrappedAnalyticsEvent> loggedMeanwhile = takeAllEvents();
  for (WrappedAnalyticsEvent& event : events) addEvent(std::move(event));
  for (WrappedAnalyticsEvent& event : loggedMeanwhile) addEvent(std::move(event));
}

std::shared_ptr<AnalyticsDatastore> AnalyticsDatastore::shared() {
  static const auto& store = *new auto(std::make_shared<AnalyticsDatastore>());
  return store;
}

void AnalyticsDatastore::addEvent(WrappedAnalyticsEvent event) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(event));
}

std::vector<WrappedAnalyticsEvent> AnalyticsDatastore::allEvents() const {
  std::lock_guard lock(mutex_);
  return {events_.begin(), events_.end()};
}

void AnalyticsDatastore::destroyAll() {
  std::deque<WrappedAnalyticsEvent> discarded;
  {
    std::lock_guard lock(mutex_);
    discarded.swap(events_);
  }
}

std::vector<WrappedAnalyticsEvent> AnalyticsDatastore::takeAllEvents() {
  std::deque<WrappedAnalyticsEvent> taken;
  {
    std::lock_guard lock(mutex_);
    taken.swap(events_);
  }
  return {std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end())};
}

void AnalyticsDatastore::requeueEvents(std::vector<WrappedAnalyticsEvent> events) {
  std::lock_guard lock(mutex_);
  events_.insert(events_.begin(), std::make_move_iterator(events.begin()),
                 std::make_move_iterator(events.end()));
}

}  // namespace velmoradine
