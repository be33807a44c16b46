// Network::batchUploadEvents against a scripted loopback server: the exact
// request and every failure path with its log lines.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "tests/network/network_test_support.hpp"
#include "tests/support/scripted_server.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using testing::Received;
using testing::ScriptedResponse;
using testing::ScriptedServer;

const std::string kFailureLine = "[Velmoradine] [network POST /events] - failure";

std::string failureLine(const Error& error) {
  return kFailureLine + " - " + error.localizedDescription() + " - " +
         documentationLink(DocumentationIdentifier::unexpecteError);
}

std::vector<WrappedAnalyticsEvent> sampleEvents() {
  WrappedAnalyticsEvent first{.timestamp = "2026-01-01T00:00:00.000Z",
                              .device = Device{.app_version = "1.0",
                                               .os_version = "6.1.0",
                                               .platform = "Simulator iOS",
                                               .vendor_id = ""}};
  first.event = AnalyticsEvent{.event_name = "share_sheet.loaded"};
  first.context = Context();
  WrappedAnalyticsEvent second = first;
  second.event.reset();
  second.context.reset();
  second.observability = ObservabilityEvent{.message = "probe"};
  second.contrib.contrib_user_id = "user-7";
  return {first, second};
}

class BatchUpload : public ::testing::Test {
 protected:
  BatchUpload() {
    authentication->setApiKey("key-1");
    contrib->setUserId("user-7");
  }

  std::shared_ptr<Network> networkWithEvents(const std::string& analyticsBase) {
    return std::make_shared<Network>(
        URLSession::make(URLSessionConfiguration::ephemeral()), authentication, contrib,
        *URL::parse(server.url("/v1/api/sdk/")), *URL::parse(analyticsBase));
  }

  // Uploads `events` and waits for the one result.
  Result<void> upload(const std::vector<WrappedAnalyticsEvent>& events = sampleEvents()) {
    Received<void> received;
    network->batchUploadEvents(events, received.completion());
    EXPECT_TRUE(received.wait());
    EXPECT_EQ(received.calls(), 1);
    return received.result();
  }

  ScriptedServer server;
  std::shared_ptr<AuthenticationDatastore> authentication =
      std::make_shared<AuthenticationDatastore>();
  std::shared_ptr<ContribDatastore> contrib = std::make_shared<ContribDatastore>();
  std::shared_ptr<Network> network = networkWithEvents(server.url("/v1/events"));
  console::Capture capture;
};

TEST_F(BatchUpload, PostsTheBatchToEventsWithCredentials) {
  server.reply("POST", "/v1/events", ScriptedResponse{200, "{}"});
  const std::vector<WrappedAnalyticsEvent> events = sampleEvents();
  EXPECT_TRUE(upload(events).has_value());
  ASSERT_EQ(server.requestCount(), 1u);
  const testing::RecordedRequest request = server.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/v1/events");
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  EXPECT_EQ(request.header("Authorization"), "Bearer key-1");
  EXPECT_EQ(request.header("X-Contrib-UserId"), "user-7");
  EXPECT_EQ(request.body, encodeBatchEvents(events));
  EXPECT_EQ(decodeJSON<BatchEvents>(request.body).value().events, events);
  EXPECT_TRUE(capture.lines().empty());
}

TEST_F(BatchUpload, ThePathIsAbsoluteWhateverTheCollectorBasePath) {
  server.reply("POST", "/v1/events", ScriptedResponse{200, "{}"});
  network = networkWithEvents(server.url("/collector/base/"));
  EXPECT_TRUE(upload().has_value());
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0].path, "/v1/events");
}

TEST_F(BatchUpload, WithoutAUserIdTheContribHeaderIsAbsent) {
  server.reply("POST", "/v1/events", ScriptedResponse{200, "{}"});
  contrib->setUserId(std::nullopt);
  EXPECT_TRUE(upload().has_value());
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0].header("X-Contrib-UserId"), std::nullopt);
}

TEST_F(BatchUpload, WithoutAnApiKeyFailsBeforeReturningAndSendsNothing) {
  authentication->setApiKey(std::nullopt);
  Received<void> received;
  network->batchUploadEvents(sampleEvents(), received.completion());
  ASSERT_EQ(received.calls(), 1);
  EXPECT_EQ(received.thread(), std::this_thread::get_id());
  EXPECT_EQ(received.result().error(), Network::Error::notAuthenticated);
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{failureLine(Network::Error::notAuthenticated)});
}

TEST_F(BatchUpload, A401FailsAsNotAuthenticatedWithBothLines) {
  server.reply("POST", "/v1/events", ScriptedResponse{401, "{}"});
  Result<void> result = upload();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), Network::Error::notAuthenticated);
  EXPECT_EQ(capture.lines(),
            (std::vector<std::string>{
                "[Velmoradine] Unable to authenticate, please make sure your VelmoradineClientId "
                "is correct. - " +
                    documentationLink(DocumentationIdentifier::apiKeyNotSet),
                failureLine(Network::Error::notAuthenticated)}));
}

TEST_F(BatchUpload, AServerErrorFailsEvenWithAJSONBody) {
  server.reply("POST", "/v1/events", ScriptedResponse{500, "{}"});
  Result<void> result = upload();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), Network::Error::unknown);
  EXPECT_TRUE(capture.contains(failureLine(Network::Error::unknown)));
}

TEST_F(BatchUpload, AReplyThatIsNotJSONIsADecodingFailure) {
  server.reply("POST", "/v1/events", ScriptedResponse{200, "OK", "text/plain"});
  Result<void> result = upload();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), Network::Error::decoding);
  std::vector<std::string> lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("[Velmoradine] Unable to decode response to type EmptyResponse"))
      << lines[0];
  EXPECT_EQ(lines[1], failureLine(Network::Error::decoding));
}

TEST_F(BatchUpload, ARefusedConnectionPassesTheTransportErrorOn) {
  network =
      networkWithEvents("http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/v1/events");
  Result<void> result = upload();
  ASSERT_FALSE(result.has_value());
  EXPECT_NE(result.error().domainName(), Error(Network::Error::unknown).domainName());
  EXPECT_EQ(capture.lines(), std::vector<std::string>{failureLine(result.error())});
}

}  // namespace
}  // namespace velmoradine
