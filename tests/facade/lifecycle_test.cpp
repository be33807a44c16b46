#include "velmoradine/facade/lifecycle.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using namespace std::chrono_literals;
using testing::ScopedManualClock;

// Answers every settings request at once with a slug naming the request.
class CountingApplicationNetwork final : public NetworkApplicationProtocol {
 public:
  void application(NetworkCompletion<ApplicationResponse> completion) override {
    ++requests;
    ApplicationResponse response;
    response.slug = "fetch-" + std::to_string(requests);
    completion(response);
  }
  int requests = 0;
};

// Takes every batch at once and remembers the names of its events.
class RecordingCollector final : public NetworkAnalyticsProtocol {
 public:
  void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                         NetworkCompletion<void> completion) override {
    for (const auto& wrapped : events) {
      if (wrapped.event) uploaded.push_back(wrapped.event->event_name);
    }
    completion({});
  }
  std::vector<std::string> uploaded;
};

class LifecycleTest : public ::testing::Test {
 protected:
  // Uploaded, then still queued.
  std::vector<std::string> loggedEventNames() const {
    std::vector<std::string> names = collector_->uploaded;
    const auto queued = queuedEventNames();
    names.insert(names.end(), queued.begin(), queued.end());
    return names;
  }
  std::vector<std::string> queuedEventNames() const {
    std::vector<std::string> names;
    for (const auto& wrapped : events_->allEvents()) {
      if (wrapped.event) names.push_back(wrapped.event->event_name);
    }
    return names;
  }
  void post(const char* name) { center_.post(name); }

  ScopedManualClock clock_;
  NotificationCenter center_;
  std::shared_ptr<ApplicationDatastore> datastore_ = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<CountingApplicationNetwork> network_ =
      std::make_shared<CountingApplicationNetwork>();
  std::shared_ptr<AnalyticsDatastore> events_ = std::make_shared<AnalyticsDatastore>();
  std::shared_ptr<RecordingCollector> collector_ = std::make_shared<RecordingCollector>();
  std::shared_ptr<Analytics> analytics_ = std::make_shared<Analytics>(
      events_, std::make_shared<ContribDatastore>(), datastore_, collector_);
  Lifecycle lifecycle_{center_, datastore_, network_, analytics_};
};

TEST_F(LifecycleTest, StartWritesTheStartUpLinesInOrder) {
  console::Capture capture;
  lifecycle_.start();
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                 "[Velmoradine] [Lifecycle stop]",
                                 "[Velmoradine] [Analytics] stop",
                                 "[Velmoradine] [Lifecycle start]",
                                 "[Velmoradine] [Lifecycle refreshApplication]",
                                 "[Velmoradine] [Analytics] start",
                                 "[Velmoradine] [Analytics] stop",
                             }));
  EXPECT_EQ(datastore_->application()->slug, "fetch-1");
}

struct ForegroundReturn {
  const char* name;
  Clock::Duration after;
  int expectedRequests;
  friend void PrintTo(const ForegroundReturn& value, std::ostream* out) { *out << value.name; }
};

class LifecycleRefreshTest : public LifecycleTest,
                             public ::testing::WithParamInterface<ForegroundReturn> {};

// The window is measured from when the last fetch began, on the clock.
TEST_P(LifecycleRefreshTest, FetchesTheSettingsAgainOnlyOnceTheMinuteHasPassed) {
  lifecycle_.start();
  clock_.advance(GetParam().after);
  post(UIApplicationWillEnterForegroundNotification);
  EXPECT_EQ(network_->requests, GetParam().expectedRequests);
  EXPECT_EQ(datastore_->application()->slug,
            "fetch-" + std::to_string(GetParam().expectedRequests));
}

INSTANTIATE_TEST_SUITE_P(Lifecycle, LifecycleRefreshTest,
                         ::testing::Values(ForegroundReturn{"After30Seconds", 30s, 1},
                                           ForegroundReturn{"After61Seconds", 61s, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LifecycleTest, StartingTwiceObservesEachNotificationOnce) {
  lifecycle_.start();
  lifecycle_.start();
  EXPECT_EQ(center_.observerCount(), 2u);
  clock_.advance(61s);
  post(UIApplicationWillEnterForegroundNotification);
  EXPECT_EQ(std::ranges::count(loggedEventNames(), "lifecycle.app_opened"), 1);
}

TEST_F(LifecycleTest, OnlyAReturnToTheForegroundCountsAsTheAppBeingOpened) {
  lifecycle_.start();
  EXPECT_TRUE(loggedEventNames().empty()) << "a cold start is not an app_opened";
  post(UIApplicationDidEnterBackgroundNotification);
  post(UIApplicationWillEnterForegroundNotification);
  EXPECT_EQ(loggedEventNames(),
            (std::vector<std::string>{"lifecycle.app_backgrounded", "lifecycle.app_opened"}));
}

// Events logged after the first trip to the background must still be
// uploaded by the timer.
TEST_F(LifecycleTest, ReturningToTheForegroundRestartsTheAnalyticsTimer) {
  lifecycle_.start();
  post(UIApplicationDidEnterBackgroundNotification);
  EXPECT_EQ(analytics_->timer(), nullptr);
  post(UIApplicationWillEnterForegroundNotification);
  ASSERT_NE(analytics_->timer(), nullptr);
  analytics_->addEvent(AnalyticsEvent{"later"});
  clock_.advance(121s);
  RunLoop::main().drain();
  EXPECT_TRUE(queuedEventNames().empty());
}

TEST_F(LifecycleTest, StopEndsObservingAndTheAnalyticsTimer) {
  lifecycle_.start();
  lifecycle_.stop();
  EXPECT_EQ(center_.observerCount(), 0u);
  EXPECT_EQ(analytics_->timer(), nullptr);
}

}  // namespace
}  // namespace velmoradine
