#include "velmoradine/analytics/analytics_datastore.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace velmoradine {
namespace {

WrappedAnalyticsEvent named(const std::string& name) {
  return WrappedAnalyticsEvent{.timestamp = "2026-01-01T00:00:00.000Z",
                               .event = AnalyticsEvent{.event_name = name}};
}

std::vector<std::string> namesOf(const std::vector<WrappedAnalyticsEvent>& events) {
  std::vector<std::string> names;
  for (const auto& event : events) names.push_back(event.event->event_name);
  return names;
}

using Names = std::vector<std::string>;

TEST(AnalyticsDatastore, StartsEmptyAndKeepsInsertionOrder) {
  AnalyticsDatastore store;
  EXPECT_TRUE(store.allEvents().empty());
  store.addEvent(named("a"));
  store.addEvent(named("b"));
  store.addEvent(named("c"));
  EXPECT_EQ(namesOf(store.allEvents()), (Names{"a", "b", "c"}));
  EXPECT_EQ(namesOf(store.allEvents()), (Names{"a", "b", "c"})) << "allEvents left it unchanged";
  store.destroyAll();
  EXPECT_TRUE(store.allEvents().empty());
  store.addEvent(named("d"));
  EXPECT_EQ(namesOf(store.allEvents()), (Names{"d"}));
}

TEST(AnalyticsDatastore, TakeAllEventsEmptiesTheQueue) {
  AnalyticsDatastore store;
  store.addEvent(named("a"));
  store.addEvent(named("b"));
  EXPECT_EQ(namesOf(store.takeAllEvents()), (Names{"a", "b"}));
  EXPECT_TRUE(store.allEvents().empty());
  EXPECT_TRUE(store.takeAllEvents().empty());
}

TEST(AnalyticsDatastore, RequeuedBatchGoesAheadOfEventsLoggedMeanwhile) {
  AnalyticsDatastore store;
  store.addEvent(named("a"));
  store.addEvent(named("b"));
  std::vector<WrappedAnalyticsEvent> batch = store.takeAllEvents();
  store.addEvent(named("c"));
  store.requeueEvents(std::move(batch));
  store.addEvent(named("d"));
  EXPECT_EQ(namesOf(store.allEvents()), (Names{"a", "b", "c", "d"}));
}

TEST(AnalyticsDatastore, SharedIsOneStore) {
  EXPECT_EQ(AnalyticsDatastore::shared().get(), AnalyticsDatastore::shared().get());
}

// A store that implements only the three basic operations gets the composed
// take and requeue, with the same order.
class PlainStore final : public AnalyticsDatastoreProtocol {
 public:
  void addEvent(WrappedAnalyticsEvent event) override { events.push_back(std::move(event)); }
  std::vector<WrappedAnalyticsEvent> allEvents() const override { return events; }
  void destroyAll() override { events.clear(); }
  std::vector<WrappedAnalyticsEvent> events;
};

TEST(AnalyticsDatastoreProtocol, DefaultTakeAndRequeueKeepLoggingOrder) {
  PlainStore store;
  store.addEvent(named("a"));
  std::vector<WrappedAnalyticsEvent> batch = store.takeAllEvents();
  EXPECT_TRUE(store.events.empty());
  store.addEvent(named("b"));
  store.requeueEvents(std::move(batch));
  EXPECT_EQ(namesOf(store.events), (Names{"a", "b"}));
}

TEST(AnalyticsDatastore, ConcurrentWritersLoseNothingAndKeepEachWritersOrder) {
  AnalyticsDatastore store;
  constexpr int kPerWriter = 2000;
  std::atomic<bool> done = false;
  std::vector<WrappedAnalyticsEvent> delivered;
  std::thread logger([&] {
    for (int i = 0; i < kPerWriter; ++i) store.addEvent(named("log." + std::to_string(i)));
    done = true;
  });
  // The other writer plays a collector that keeps failing: takes the queue
  // and puts it back, while the logger keeps appending.
  std::thread uploader([&] {
    while (!done) store.requeueEvents(store.takeAllEvents());
  });
  logger.join();
  uploader.join();
  std::vector<WrappedAnalyticsEvent> all = store.takeAllEvents();
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kPerWriter));
  for (int i = 0; i < kPerWriter; ++i) {
    EXPECT_EQ(all[static_cast<std::size_t>(i)].event->event_name, "log." + std::to_string(i));
  }
}

}  // namespace
}  // namespace velmoradine
