#include "velmoradine/analytics/analytics.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <set>
#include <thread>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;
using testing::ScopedManualClock;
using testing::waitUntil;
using namespace std::chrono_literals;
using Names = std::vector<std::string>;

// Stands in for the collector: records each batch and holds its completion
// until the test decides how the upload ends.
class HeldCollector final : public NetworkAnalyticsProtocol {
 public:
  void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                         NetworkCompletion<void> completion) override {
    if (failImmediately) {
      completion(failure(Error::posix(ECONNREFUSED)));
      std::lock_guard lock(mutex_);
      batches_.push_back(events);
      return;
    }
    std::lock_guard lock(mutex_);
    batches_.push_back(events);
    pending_.push_back(std::move(completion));
  }

  std::size_t batchCount() const {
    std::lock_guard lock(mutex_);
    return batches_.size();
  }
  std::vector<WrappedAnalyticsEvent> batch(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return batches_.at(index);
  }
  std::size_t pendingCount() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
  }
  // Ends the oldest upload still in flight, on a thread of its own as the
  // network's callback queue would.
  void completeOldest(Result<void> result) {
    NetworkCompletion<void> completion;
    {
      std::lock_guard lock(mutex_);
      completion = std::move(pending_.front());
      pending_.pop_front();
    }
    std::thread([&] { completion(result); }).join();
  }

  std::atomic<bool> failImmediately = false;

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<WrappedAnalyticsEvent>> batches_;
  std::deque<NetworkCompletion<void>> pending_;
};

std::shared_ptr<DeviceHelper> fixedDevice() {
  return std::make_shared<DeviceHelper>(DeviceHelper::Sources{
      .releaseVersionNumber = [] { return std::optional<std::string>("3.1"); },
      .operatingSystemVersion =
          [] {
            return std::optional(OperatingSystemVersion{6, 1, 0});
          },
      .machineIdentifier = [] { return std::string("iPhone13,2"); },
      .simulatorModelIdentifier = [] { return std::optional<std::string>(); },
      .identifierForVendor = [] { return UUID::parse("00112233-4455-6677-8899-aabbccddeeff"); },
  });
}

Names namesOf(const std::vector<WrappedAnalyticsEvent>& events) {
  Names names;
  for (const auto& event : events) names.push_back(event.event->event_name);
  return names;
}

std::set<std::string> keysOf(const json& object) {
  std::set<std::string> keys;
  for (const auto& item : object.items()) keys.insert(item.key());
  return keys;
}

class AnalyticsTest : public ::testing::Test {
 protected:
  void log(const std::string& name) { analytics.addEvent(AnalyticsEvent{.event_name = name}); }
  // Lets the timer's due firings run on the main loop.
  void advance(Clock::Duration delta) {
    clock.advance(delta);
    RunLoop::main().drain();
  }
  Names queued() const { return namesOf(store->allEvents()); }

  ScopedManualClock clock;
  console::Capture capture;
  std::shared_ptr<AnalyticsDatastore> store = std::make_shared<AnalyticsDatastore>();
  std::shared_ptr<ContribDatastore> contrib = std::make_shared<ContribDatastore>();
  std::shared_ptr<ApplicationDatastore> application = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<HeldCollector> collector = std::make_shared<HeldCollector>();
  Analytics analytics{store, contrib, application, collector, 120, fixedDevice()};
};

TEST_F(AnalyticsTest, WrapsAnEventWithTimeDeviceAndEmptyUserAndApplication) {
  log("lifecycle.app_opened");
  std::vector<WrappedAnalyticsEvent> events = store->allEvents();
  ASSERT_EQ(events.size(), 1u);
  json encoded = events[0];
  EXPECT_EQ(
      encoded.dump(),
      R"({"application":{},"contrib":{},"device":{"app_version":"3.1","os_version":"6.1.0",)"
      R"("platform":"iPhone 12","vendor_id":"00112233-4455-6677-8899-AABBCCDDEEFF"},)"
      R"("event":{"event_name":"lifecycle.app_opened"},"timestamp":"2026-01-01T00:00:00.000Z"})");
}

TEST_F(AnalyticsTest, CarriesUserIdSlugAndTheCallersContext) {
  contrib->setUserId("user-42");
  ApplicationResponse settings;
  settings.cta_link = "https://x";
  settings.slug = "acme";
  application->setApplication(settings);
  auto context = std::make_shared<Context>();
  clock.clock().advance(1500ms);
  analytics.addEvent(AnalyticsEvent{.event_name = "share_outlet.copy.failed", .error_string = "No"},
                     context);
  json encoded = store->allEvents().at(0);
  EXPECT_EQ(keysOf(encoded), (std::set<std::string>{"timestamp", "event", "device", "context",
                                                    "contrib", "application"}));
  EXPECT_EQ(encoded["timestamp"], "2026-01-01T00:00:01.500Z");
  EXPECT_EQ(encoded["context"].dump(), R"({"uuid":")" + context->uuid.uuidString() + R"("})");
  EXPECT_EQ(encoded["contrib"].dump(), R"({"contrib_user_id":"user-42"})");
  EXPECT_EQ(encoded["application"].dump(), R"({"application_slug":"acme"})");
  EXPECT_EQ(encoded["event"].dump(),
            R"({"error_string":"No","event_name":"share_outlet.copy.failed"})");
}

TEST_F(AnalyticsTest, ApplicationWithoutSlugGivesAnEmptyApplication) {
  ApplicationResponse settings;
  settings.brand_color = "#fff";
  application->setApplication(settings);
  log("a");
  EXPECT_EQ(json(store->allEvents().at(0))["application"].dump(), "{}");
}

TEST_F(AnalyticsTest, ContextIsCopiedWhenLogged) {
  auto context = std::make_shared<Context>();
  const UUID original = context->uuid;
  analytics.addEvent(AnalyticsEvent{.event_name = "share_sheet.loaded"}, context);
  context->uuid = UUID();
  EXPECT_EQ(store->allEvents().at(0).context->uuid, original);
}

TEST_F(AnalyticsTest, LogsTheEventNameAndAOneLineDump) {
  log("share_sheet.loaded");
  const std::string dump = json(store->allEvents().at(0)).dump();
  EXPECT_EQ(capture.lines(),
            Names{"[Velmoradine] [Analytics] logged analytics event share_sheet.loaded: " + dump});
}

TEST_F(AnalyticsTest, ObservabilityEventsAreWrappedWithoutAnEvent) {
  analytics.addObservabilityEvent(ObservabilityEvent{.event_name = "probe", .message = "m"});
  analytics.addObservabilityEvent(ObservabilityEvent{.message = "anonymous"});
  std::vector<WrappedAnalyticsEvent> events = store->allEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_FALSE(events[0].event.has_value());
  EXPECT_EQ(events[0].observability, (ObservabilityEvent{.event_name = "probe", .message = "m"}));
  EXPECT_FALSE(json(events[1]).contains("event"));
  EXPECT_EQ(capture.lines(),
            (Names{"[Velmoradine] [Analytics] logged observability event probe: " +
                       json(events[0]).dump(),
                   "[Velmoradine] [Analytics] logged observability event (no event name): " +
                       json(events[1]).dump()}));
}

TEST_F(AnalyticsTest, StopWhenNotStartedOnlyLogs) {
  log("a");
  capture.clear();
  analytics.stop();
  EXPECT_EQ(capture.lines(), Names{"[Velmoradine] [Analytics] stop"});
  EXPECT_EQ(collector->batchCount(), 0u);
  EXPECT_EQ(queued(), Names{"a"});
}

TEST_F(AnalyticsTest, TimerFiresOneIntervalAfterStartAndRepeats) {
  analytics.start();
  ASSERT_NE(analytics.timer(), nullptr);
  log("a");
  advance(119s);
  EXPECT_EQ(collector->batchCount(), 0u);
  advance(1s);
  ASSERT_EQ(collector->batchCount(), 1u);
  EXPECT_EQ(namesOf(collector->batch(0)), Names{"a"});
  EXPECT_TRUE(store->allEvents().empty());
  collector->completeOldest({});
  log("b");
  advance(120s);
  ASSERT_EQ(collector->batchCount(), 2u);
  EXPECT_EQ(namesOf(collector->batch(1)), Names{"b"});
  collector->completeOldest({});
  analytics.stop();
}

TEST_F(AnalyticsTest, TimerFiresOnlyWhileTheStartingLoopIsDriven) {
  analytics.start();
  log("a");
  clock.advance(120s);
  EXPECT_EQ(collector->batchCount(), 0u);
  RunLoop::main().drain();
  EXPECT_EQ(collector->batchCount(), 1u);
  collector->completeOldest({});
  analytics.stop();
}

TEST_F(AnalyticsTest, UploadWithAnEmptyQueueLogsBothLinesAndSendsNothing) {
  analytics.start();
  capture.clear();
  advance(120s);
  EXPECT_EQ(capture.lines(), (Names{"[Velmoradine] [Analytics] upload",
                                    "[Velmoradine] [Analytics] upload events (0)"}));
  EXPECT_EQ(collector->batchCount(), 0u);
  analytics.stop();
}

TEST_F(AnalyticsTest, StartAndStopLineSequences) {
  log("a");
  capture.clear();
  analytics.start();
  EXPECT_EQ(capture.lines(),
            (Names{"[Velmoradine] [Analytics] start", "[Velmoradine] [Analytics] stop"}));
  capture.clear();
  analytics.stop();
  EXPECT_EQ(capture.lines(),
            (Names{"[Velmoradine] [Analytics] stop", "[Velmoradine] [Analytics] upload",
                   "[Velmoradine] [Analytics] upload events (1)"}));
  EXPECT_EQ(analytics.timer(), nullptr);
  ASSERT_EQ(collector->batchCount(), 1u);
  collector->completeOldest({});
  capture.clear();
  analytics.stop();
  EXPECT_EQ(capture.lines(), Names{"[Velmoradine] [Analytics] stop"});
}

TEST_F(AnalyticsTest, StartingTwiceReplacesTheTimerWithOneUploadBetween) {
  analytics.start();
  std::shared_ptr<Timer> first = analytics.timer();
  log("a");
  advance(60s);
  capture.clear();
  analytics.start();
  EXPECT_EQ(
      capture.lines(),
      (Names{"[Velmoradine] [Analytics] start", "[Velmoradine] [Analytics] stop",
             "[Velmoradine] [Analytics] upload", "[Velmoradine] [Analytics] upload events (1)"}));
  EXPECT_FALSE(first->isValid());
  EXPECT_NE(analytics.timer(), first);
  ASSERT_EQ(collector->batchCount(), 1u);
  collector->completeOldest({});
  // The old timer would have fired at 120 s; the new one is due at 180 s.
  log("b");
  advance(60s);
  EXPECT_EQ(collector->batchCount(), 1u);
  advance(60s);
  ASSERT_EQ(collector->batchCount(), 2u);
  collector->completeOldest({});
  analytics.stop();
}

TEST_F(AnalyticsTest, TheIntervalSetsThePeriod) {
  analytics.setInterval(5);
  analytics.start();
  log("a");
  advance(5s);
  ASSERT_EQ(collector->batchCount(), 1u);
  collector->completeOldest({});
  analytics.stop();
}

TEST_F(AnalyticsTest, FailedBatchGoesBackAheadOfEventsLoggedInFlight) {
  log("a");
  log("b");
  analytics.start();
  advance(120s);
  ASSERT_EQ(collector->pendingCount(), 1u);
  EXPECT_TRUE(store->allEvents().empty()) << "the queue is emptied before sending";
  log("c");
  collector->completeOldest(failure(Error::posix(ETIMEDOUT)));
  EXPECT_EQ(queued(), (Names{"a", "b", "c"}));
  log("d");
  advance(120s);
  ASSERT_EQ(collector->batchCount(), 2u);
  EXPECT_EQ(namesOf(collector->batch(1)), (Names{"a", "b", "c", "d"}));
  collector->completeOldest({});
  EXPECT_TRUE(store->allEvents().empty());
  advance(120s);
  EXPECT_EQ(collector->batchCount(), 2u) << "delivered events are not sent again";
  analytics.stop();
}

TEST_F(AnalyticsTest, ImmediateFailureRequeuesWithoutLoss) {
  collector->failImmediately = true;
  log("a");
  log("b");
  analytics.start();
  for (int attempt = 0; attempt < 3; ++attempt) advance(120s);
  EXPECT_EQ(collector->batchCount(), 3u);
  EXPECT_EQ(queued(), (Names{"a", "b"}));
  collector->failImmediately = false;
  analytics.stop();
  ASSERT_EQ(collector->batchCount(), 4u);
  EXPECT_EQ(namesOf(collector->batch(3)), (Names{"a", "b"}));
  collector->completeOldest({});
  EXPECT_TRUE(store->allEvents().empty());
}

TEST_F(AnalyticsTest, DestroyedWhileStartedStopsFiring) {
  auto scoped =
      std::make_unique<Analytics>(store, contrib, application, collector, 120, fixedDevice());
  scoped->start();
  std::shared_ptr<Timer> timer = scoped->timer();
  scoped.reset();
  EXPECT_FALSE(timer->isValid());
  log("a");
  advance(120s);
  EXPECT_EQ(collector->batchCount(), 0u);
}

TEST_F(AnalyticsTest, LoggingDoesNotWaitForAnUploadInProgress) {
  // A collector that is slow inside the call itself (a stalled encoder or
  // socket): logging from another thread must still go through.
  struct StalledCollector final : NetworkAnalyticsProtocol {
    void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>&,
                           NetworkCompletion<void> completion) override {
      std::unique_lock lock(mutex);
      entered = true;
      changed.notify_all();
      changed.wait(lock, [&] { return released; });
      completion(failure(Error::posix(ECONNRESET)));
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
  };
  auto stalled = std::make_shared<StalledCollector>();
  analytics.setNetwork(stalled);
  log("a");
  std::thread logger([&] {
    {
      std::unique_lock lock(stalled->mutex);
      stalled->changed.wait(lock, [&] { return stalled->entered; });
    }
    log("b");
    std::lock_guard lock(stalled->mutex);
    stalled->released = true;
    stalled->changed.notify_all();
  });
  analytics.start();
  analytics.stop();
  logger.join();
  EXPECT_EQ(queued(), (Names{"a", "b"}));
}

TEST_F(AnalyticsTest, ConcurrentLoggingAndFailingUploadsDeliverEveryEventOnceInOrder) {
  constexpr int kEvents = 600;
  std::atomic<bool> loggerDone = false;
  analytics.start();
  std::thread logger([&] {
    for (int i = 0; i < kEvents; ++i) log(std::to_string(i));
    loggerDone = true;
  });
  // Every other upload fails, its completion racing the logger.
  std::vector<WrappedAnalyticsEvent> delivered;
  int round = 0;
  while (!loggerDone || !store->allEvents().empty() || collector->pendingCount() > 0) {
    advance(120s);
    while (collector->pendingCount() > 0) {
      std::size_t index = collector->batchCount() - collector->pendingCount();
      std::vector<WrappedAnalyticsEvent> batch = collector->batch(index);
      if (++round % 2 == 0) {
        collector->completeOldest({});
        delivered.insert(delivered.end(), batch.begin(), batch.end());
      } else {
        collector->completeOldest(failure(Error::posix(ECONNREFUSED)));
      }
    }
  }
  logger.join();
  analytics.stop();
  EXPECT_EQ(collector->pendingCount(), 0u);
  ASSERT_EQ(delivered.size(), static_cast<std::size_t>(kEvents));
  for (int i = 0; i < kEvents; ++i) {
    EXPECT_EQ(delivered[static_cast<std::size_t>(i)].event->event_name, std::to_string(i));
  }
}

}  // namespace
}  // namespace velmoradine
