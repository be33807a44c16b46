// The analytics engine against the real collector: the devserver binary on a
// loopback port, reached through the real Network and URL session.

#include <gtest/gtest.h>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/scripted_server.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/analytics/analytics.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;
using testing::DevServerProcess;
using testing::Kit;
using testing::ScopedManualClock;
using testing::TemporaryDirectory;
using testing::waitUntil;
using namespace std::chrono_literals;

constexpr const char* kApiKey = "collector-key";
constexpr const char* kSlug = "collector-app";
constexpr const char* kFailureLinePrefix = "[Velmoradine] [network POST /events] - failure - ";

class AnalyticsCollector : public ::testing::Test {
 protected:
  AnalyticsCollector() { authentication->setApiKey(kApiKey); }

  std::shared_ptr<Network> networkFor(const std::string& baseURL) {
    const URL base = *URL::parse(baseURL);
    return std::make_shared<Network>(Network::defaultURLSession(), authentication, contrib,
                                     *URL::parse("/v1/api/sdk/", base),
                                     *URL::parse("/v1/events", base));
  }

  void log(const std::string& name) { analytics.addEvent(AnalyticsEvent{.event_name = name}); }

  // Triggers one upload through the timer, as the running kit does.
  void uploadNow() {
    clock.advance(120s);
    RunLoop::main().drain();
  }

  // The events the collector stored for the application, oldest first.
  json listed() {
    Kit kit(server, kApiKey);
    auto reply = kit.get("/v1/events");
    if (!reply || reply->status != 200) return json::array();
    return json::parse(reply->body)["events"];
  }

  bool requeued(std::size_t count) {
    return waitUntil([&] { return store->allEvents().size() == count; });
  }

  ScopedManualClock clock;
  TemporaryDirectory directory;
  DevServerProcess server{directory.path(), {"--api-key", kApiKey, "--app-slug", kSlug}};
  std::shared_ptr<AuthenticationDatastore> authentication =
      std::make_shared<AuthenticationDatastore>();
  std::shared_ptr<ContribDatastore> contrib = std::make_shared<ContribDatastore>();
  std::shared_ptr<ApplicationDatastore> application = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<AnalyticsDatastore> store = std::make_shared<AnalyticsDatastore>();
  std::shared_ptr<Network> network = networkFor(server.baseURL());
  Analytics analytics{store, contrib, application, network};
};

TEST_F(AnalyticsCollector, LoggedEventsAreListedBackIdentical) {
  ASSERT_TRUE(server.running());
  // The slug arrives the way the kit gets it: from the application settings.
  std::atomic<bool> fetched = false;
  network->application([&](Result<ApplicationResponse> result) {
    if (result) application->setApplication(*result);
    fetched = true;
  });
  ASSERT_TRUE(waitUntil([&] { return fetched.load(); }));
  ASSERT_EQ(application->application().value_or(ApplicationResponse{}).slug, kSlug);
  contrib->setUserId("user-77");

  auto context = std::make_shared<Context>();
  analytics.addEvent(AnalyticsEvent{.event_name = "share_sheet.loaded"}, context);
  analytics.addEvent(
      AnalyticsEvent{.event_name = "share_outlet.copy.failed", .error_string = "Caf\xC3\xA9 \"x\""},
      context);
  analytics.addObservabilityEvent(ObservabilityEvent{.message = "probe"});
  const std::vector<WrappedAnalyticsEvent> logged = store->allEvents();
  ASSERT_EQ(logged.size(), 3u);

  analytics.start();
  uploadNow();
  ASSERT_TRUE(waitUntil([&] { return listed().size() == 3; }));
  json events = listed();
  for (std::size_t i = 0; i < logged.size(); ++i) {
    EXPECT_EQ(events[i]["event"], json(logged[i])) << i;
    EXPECT_EQ(WrappedAnalyticsEvent::decode(JSONReader(events[i]["event"])).value(), logged[i])
        << i;
    EXPECT_EQ(events[i]["user_id"], "user-77");
  }
  EXPECT_EQ(events[0]["event"]["application"]["application_slug"], kSlug);
  EXPECT_TRUE(store->allEvents().empty());
  uploadNow();
  EXPECT_EQ(listed().size(), 3u) << "an upload that succeeded is not repeated";
  analytics.stop();
}

TEST_F(AnalyticsCollector, CollectorDownKeepsEventsQueuedUntilItIsBack) {
  console::Capture capture;
  analytics.setNetwork(networkFor("http://127.0.0.1:" + std::to_string(testing::closedPort())));
  log("a");
  log("b");
  analytics.start();
  uploadNow();
  ASSERT_TRUE(requeued(2));
  log("c");
  uploadNow();
  ASSERT_TRUE(requeued(3));
  std::vector<std::string> names;
  for (const auto& event : store->allEvents()) names.push_back(event.event->event_name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
  std::size_t failureLines = 0;
  for (const std::string& line : capture.lines()) {
    if (line.starts_with(kFailureLinePrefix)) ++failureLines;
  }
  EXPECT_EQ(failureLines, 2u);

  analytics.setNetwork(network);
  uploadNow();
  ASSERT_TRUE(waitUntil([&] { return listed().size() == 3; }));
  json events = listed();
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(events[i]["event"]["event"]["event_name"], names[i]);
  }
  analytics.stop();
}

TEST_F(AnalyticsCollector, ServerErrorsAndDroppedConnectionsLoseNothing) {
  TemporaryDirectory faultyDirectory;
  DevServerProcess failing(faultyDirectory.path(),
                           {"--api-key", kApiKey, "--app-slug", kSlug, "--fault-rate", "1",
                            "--fault-status", "500", "--fault-route", "POST /v1/events"});
  TemporaryDirectory droppingDirectory;
  DevServerProcess dropping(droppingDirectory.path(),
                            {"--api-key", kApiKey, "--app-slug", kSlug, "--fault-drop-rate", "1",
                             "--fault-route", "POST /v1/events"});
  ASSERT_TRUE(failing.running());
  ASSERT_TRUE(dropping.running());
  analytics.start();
  log("a");
  analytics.setNetwork(networkFor(failing.baseURL()));
  uploadNow();
  ASSERT_TRUE(requeued(1));
  log("b");
  analytics.setNetwork(networkFor(dropping.baseURL()));
  uploadNow();
  ASSERT_TRUE(requeued(2));

  analytics.setNetwork(network);
  analytics.stop();
  ASSERT_TRUE(waitUntil([&] { return listed().size() == 2; }));
  EXPECT_EQ(listed()[0]["event"]["event"]["event_name"], "a");
  EXPECT_EQ(listed()[1]["event"]["event"]["event_name"], "b");
  EXPECT_TRUE(store->allEvents().empty());
}

TEST_F(AnalyticsCollector, WrongOrMissingKeyRequeuesAndSaysWhy) {
  console::Capture capture;
  log("a");
  authentication->setApiKey("not-the-key");
  analytics.start();
  uploadNow();
  ASSERT_TRUE(requeued(1));
  EXPECT_TRUE(capture.contains(
      "[Velmoradine] Unable to authenticate, please make sure your VelmoradineClientId is "
      "correct. - " +
      documentationLink(DocumentationIdentifier::apiKeyNotSet)));

  capture.clear();
  authentication->setApiKey(std::nullopt);
  uploadNow();
  // No key: the failure is immediate, on the uploading thread.
  EXPECT_EQ(store->allEvents().size(), 1u);
  EXPECT_TRUE(capture.contains(kFailureLinePrefix +
                               Error(Network::Error::notAuthenticated).localizedDescription() +
                               " - " + documentationLink(DocumentationIdentifier::unexpecteError)));

  authentication->setApiKey(kApiKey);
  analytics.stop();
  ASSERT_TRUE(waitUntil([&] { return listed().size() == 1; }));
}

}  // namespace
}  // namespace velmoradine
