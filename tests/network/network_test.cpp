#include "velmoradine/network/network.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/network/network_test_support.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/scripted_server.hpp"
#include "velmoradine/core/bundle_readers.hpp"
#include "velmoradine/core/deployment.hpp"
#include "velmoradine/model/ugc_context.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"

namespace velmoradine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::Received;
using testing::ScriptedResponse;
using testing::ScriptedServer;

std::string line(const std::string& text, const std::optional<std::string>& error = std::nullopt,
                 std::optional<DocumentationIdentifier> documentation = std::nullopt) {
  std::string result = "[Velmoradine] " + text;
  if (error) result += " - " + *error;
  if (documentation) result += " - " + documentationLink(*documentation);
  return result;
}

const std::string kDecodingDescription =
    "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
const std::string kMissingDescription = "The data couldn\u2019t be read because it is missing.";

nlohmann::json bodyOf(const testing::RecordedRequest& request) {
  return nlohmann::json::parse(request.body);
}

const char* kShareResponse = R"({
  "video_content": {"strategy": "configurable", "configurable": {"direct_upload": {
      "url": "https://storage.test/v/1?sig=a", "headers": {"Content-MD5": "x", "Content-Type": "video/mp4"}}}},
  "preview_image": {"strategy": "configurable", "configurable": null},
  "shareable": {"title": "Trip", "link": "https://l.test/s/1", "shareable_access_token": "tok-1"},
  "unexpected": [1, 2, 3]
})";

ShareRequest sampleShareRequest() {
  return {UploadPlanRequest{1234, "ICy5YqxZB1uWSwcVLSNLcA==", "video/mp4"},
          UploadPlanRequest{56, "kAFQmDzST7DWlj99KOF/cg==", "image/jpeg"},
          ShareableRequest{"Trip", "video"}};
}

class NetworkTest : public ::testing::Test {
 protected:
  NetworkTest() {
    authentication->setApiKey("key-1");
    contrib->setUserId("user-7");
  }

  std::shared_ptr<Network> makeNetwork(std::shared_ptr<URLSession> urlSession) {
    return std::make_shared<Network>(std::move(urlSession), authentication, contrib,
                                     *URL::parse(server.url("/v1/api/sdk/")),
                                     *URL::parse(server.url("/v1/events")));
  }

  ScriptedServer server;
  std::shared_ptr<AuthenticationDatastore> authentication =
      std::make_shared<AuthenticationDatastore>();
  std::shared_ptr<ContribDatastore> contrib = std::make_shared<ContribDatastore>();
  std::shared_ptr<URLSession> session = URLSession::make(URLSessionConfiguration::ephemeral());
  std::shared_ptr<Network> network = makeNetwork(session);
  console::Capture capture;
};

TEST_F(NetworkTest, ApplicationSendsAnAuthenticatedJSONGetAndDecodesTheSettings) {
  server.reply("GET", "/v1/api/sdk/application",
               ScriptedResponse{200, R"({"cta_link": "https://cta.test", "slug": "app",
                                        "brand_color": "#ff0000", "background_color": null,
                                        "extra": {"ignored": true}})"});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());

  ASSERT_TRUE(received.result().has_value()) << received.result().error().localizedDescription();
  EXPECT_EQ(*received.result(),
            (ApplicationResponse{"https://cta.test", "app", "#ff0000", std::nullopt}));
  EXPECT_NE(received.thread(), std::this_thread::get_id());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/v1/api/sdk/application");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer key-1");
  EXPECT_EQ(requests[0].header("X-Contrib-UserId"), "user-7");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].body, "");
  EXPECT_THAT(capture.lines(), IsEmpty());
}

TEST_F(NetworkTest, RequestsWithoutAUserIdCarryNoContribHeader) {
  contrib->setUserId(std::nullopt);
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, "{}"});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  ASSERT_TRUE(received.result().has_value());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer key-1");
  EXPECT_EQ(requests[0].header("X-Contrib-UserId"), std::nullopt);
}

TEST_F(NetworkTest, AnEmptyApiKeyIsStillSentAsABearerCredential) {
  authentication->setApiKey("");
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, "{}"});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  ASSERT_TRUE(received.result().has_value());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  // HTTP drops the trailing space of a field value on the way in.
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer");
}

TEST_F(NetworkTest, CredentialsAreReadAfreshForEveryRequest) {
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, "{}"});
  Received<ApplicationResponse> first;
  network->application(first.completion());
  ASSERT_TRUE(first.wait());
  authentication->setApiKey("key-2");
  contrib->setUserId("user-8");
  Received<ApplicationResponse> second;
  network->application(second.completion());
  ASSERT_TRUE(second.wait());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].header("Authorization"), "Bearer key-2");
  EXPECT_EQ(requests[1].header("X-Contrib-UserId"), "user-8");
}

TEST_F(NetworkTest, ACredentialWithALineBreakIsNeverSent) {
  contrib->setUserId("user\r\nX-Admin: yes");
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), URLError::badURL);
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_THAT(capture.lines(), ElementsAre(line("[network GET /application] - failure",
                                                "The request is not valid.")));
}

TEST_F(NetworkTest, CallsFromManyThreadsEachCompleteOnce) {
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, R"({"slug": "app"})"});
  constexpr int kThreads = 4;
  constexpr int kCallsPerThread = 15;
  std::vector<Received<ApplicationResponse>> received(kThreads * kCallsPerThread);
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        network->application(
            received[static_cast<std::size_t>(t * kCallsPerThread + i)].completion());
      }
    });
  }
  for (auto& caller : callers) caller.join();
  for (auto& each : received) {
    ASSERT_TRUE(each.wait());
    ASSERT_TRUE(each.result().has_value());
    EXPECT_EQ(each.result()->slug, "app");
  }
  session.reset();
  network.reset();
  for (auto& each : received) EXPECT_EQ(each.calls(), 1);
  EXPECT_EQ(server.requestCount(), static_cast<std::size_t>(kThreads * kCallsPerThread));
}

TEST_F(NetworkTest, WithoutAnApiKeyEveryEndpointFailsBeforeReturningAndSendsNothing) {
  authentication->setApiKey(std::nullopt);
  const auto thread = std::this_thread::get_id();
  const std::string unauthorized = "Unauthorized.";

  Received<ApplicationResponse> application;
  network->application(application.completion());
  EXPECT_EQ(application.calls(), 1);
  EXPECT_EQ(application.thread(), thread);
  EXPECT_EQ(application.result().error(), Network::Error::notAuthenticated);

  Received<ContextResponse> context;
  network->uploadContext(UGCContext("tag"), context.completion());
  EXPECT_EQ(context.calls(), 1);
  EXPECT_EQ(context.result().error(), Network::Error::notAuthenticated);

  Received<ShareResponse> share;
  network->shareRequest(sampleShareRequest(), share.completion());
  EXPECT_EQ(share.calls(), 1);
  EXPECT_EQ(share.result().error(), Network::Error::notAuthenticated);

  Received<EmptyResponse> activate;
  network->activateShare(ActivateRequest{true, false, "tok"}, activate.completion());
  EXPECT_EQ(activate.calls(), 1);
  EXPECT_EQ(activate.result().error(), Network::Error::notAuthenticated);

  Received<EmptyResponse> remove;
  network->deleteShare(DeleteShareRequest{"tok"}, remove.completion());
  EXPECT_EQ(remove.calls(), 1);
  EXPECT_EQ(remove.thread(), thread);
  EXPECT_EQ(remove.result().error(), Network::Error::notAuthenticated);

  const auto unexpected = DocumentationIdentifier::unexpecteError;
  EXPECT_THAT(
      capture.lines(),
      ElementsAre(line("[network GET /application] - failure", unauthorized),
                  line("[network POST /debug/context] - failure", unauthorized, unexpected),
                  line("[network POST /share] - failure", unauthorized, unexpected),
                  line("[network POST /share/activate] - failure", unauthorized, unexpected),
                  line("[network DELETE /share/activate] - failure", unauthorized, unexpected)));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetworkTest, AnInvalidServiceAddressFailsEveryRequestAtOnceAndSendsNothingAnywhere) {
  const Error invalid(ConfigurationError::invalidServiceAddress, "VelmoradineEventsURL: test");
  auto misconfigured = std::make_shared<Network>(
      session, authentication, contrib, *URL::parse(server.url("/v1/api/sdk/")), failure(invalid));
  ASSERT_EQ(misconfigured->configurationError(), invalid);
  EXPECT_EQ(capture.lines().size(), 1u);

  Received<ApplicationResponse> application;
  misconfigured->application(application.completion());
  Received<ShareResponse> share;
  misconfigured->shareRequest(sampleShareRequest(), share.completion());
  Received<EmptyResponse> remove;
  misconfigured->deleteShare(DeleteShareRequest{"tok"}, remove.completion());
  Received<void> events;
  misconfigured->batchUploadEvents({}, events.completion());
  Received<void> upload;
  misconfigured->uploadWithConfigurable(
      Configurable{DirectUpload{*URL::parse(server.url("/storage")), {}}},
      std::make_shared<const Data>(), upload.completion());

  EXPECT_EQ(application.result().error(), invalid);
  EXPECT_EQ(share.result().error(), invalid);
  EXPECT_EQ(remove.result().error(), invalid);
  EXPECT_EQ(events.result().error(), invalid);
  EXPECT_EQ(upload.result().error(), invalid);
  EXPECT_EQ(server.requestCount(), 0u);
}

// A session that keeps the requests it is given and never answers them.
class RecordingSession final : public URLSession {
 public:
  class Task final : public URLSessionTask {
   public:
    explicit Task(URLRequest request) : request_(std::move(request)) {}
    void resume() override {}
    void cancel() override {}
    State state() const override { return State::suspended; }
    std::uint64_t taskIdentifier() const override { return 0; }
    const URLRequest& originalRequest() const override { return request_; }

   private:
    URLRequest request_;
  };

  std::shared_ptr<URLSessionTask> dataTask(URLRequest request, DataTaskCompletion) override {
    requests.push_back(request);
    return std::make_shared<Task>(std::move(request));
  }
  std::shared_ptr<URLSessionTask> downloadTask(URLRequest request,
                                               DownloadTaskCompletion) override {
    return std::make_shared<Task>(std::move(request));
  }
  const URLSessionConfiguration& configuration() const override { return configuration_; }
  const std::shared_ptr<DispatchQueue>& delegateQueue() const override { return queue_; }

  std::vector<URLRequest> requests;

 private:
  URLSessionConfiguration configuration_ = URLSessionConfiguration::ephemeral();
  std::shared_ptr<DispatchQueue> queue_;
};

// A backend trickling a byte every few seconds never trips the idle time-out;
// the overall deadline bounds every API request all the same.
TEST_F(NetworkTest, EveryAPIRequestHasASixtySecondDeadlineForTheWholeExchange) {
  auto recording = std::make_shared<RecordingSession>();
  auto recorded = makeNetwork(recording);
  recorded->application([](Result<ApplicationResponse>) {});
  recorded->uploadContext(UGCContext("tag"), [](Result<ContextResponse>) {});
  recorded->shareRequest(sampleShareRequest(), [](Result<ShareResponse>) {});
  recorded->activateShare(ActivateRequest{true, false, "tok"}, [](Result<EmptyResponse>) {});
  recorded->deleteShare(DeleteShareRequest{"tok"}, [](Result<EmptyResponse>) {});
  recorded->batchUploadEvents({}, [](Result<void>) {});
  ASSERT_EQ(recording->requests.size(), 6u);
  for (const URLRequest& request : recording->requests) {
    EXPECT_EQ(request.totalTimeoutInterval(), std::chrono::seconds(60))
        << request.url().absoluteString();
  }
}

TEST_F(NetworkTest, A401FailsAsNotAuthenticatedEvenWhenTheBodyDecodes) {
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{401, R"({"slug": "app"})"});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::notAuthenticated);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("Unable to authenticate, please make sure your VelmoradineClientId "
                               "is correct.",
                               std::nullopt, DocumentationIdentifier::apiKeyNotSet),
                          line("[network GET /application] - failure", "Unauthorized.")));
}

TEST_F(NetworkTest, AServerErrorFailsAsUnknownEvenWhenTheBodyDecodes) {
  server.reply("POST", "/v1/api/sdk/share/activate", ScriptedResponse{500, "{}"});
  Received<EmptyResponse> received;
  network->activateShare(ActivateRequest{true, false, "tok"}, received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Error(Network::Error::unknown, "HTTP status 500"));
  EXPECT_THAT(
      capture.lines(),
      ElementsAre(
          line("Unexpected HTTP status 500 from " + server.url("/v1/api/sdk/share/activate"),
               std::nullopt, DocumentationIdentifier::unexpecteError),
          line("[network POST /share/activate] - failure", "An unknown error occurred.",
               DocumentationIdentifier::unexpecteError)));
}

TEST_F(NetworkTest, ANotFoundReplyFailsAsUnknown) {
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::unknown);
}

TEST_F(NetworkTest, MalformedJSONFailsAsDecodingWithBothLogLines) {
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, R"({"slug": )"});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("Unable to decode response to type ApplicationResponse",
                               kDecodingDescription, DocumentationIdentifier::unexpecteError),
                          line("[network GET /application] - failure", "Decoding error.")));
}

TEST_F(NetworkTest, ANumberWhereTextIsExpectedFailsDecoding) {
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, R"({"slug": 5})"});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
}

TEST_F(NetworkTest, ShareRequestPostsTheRecordAndDecodesThePlans) {
  server.reply("POST", "/v1/api/sdk/share", ScriptedResponse{201, kShareResponse});
  Received<ShareResponse> received;
  network->shareRequest(sampleShareRequest(), received.completion());
  ASSERT_TRUE(received.wait());
  ASSERT_TRUE(received.result().has_value()) << received.result().error().localizedDescription();

  const Result<ShareResponse> result = received.result();
  const ShareResponse& response = *result;
  EXPECT_EQ(response.shareable, (Shareable{"Trip", "https://l.test/s/1", "tok-1"}));
  EXPECT_EQ(response.video_content.strategy, UploadPlan::Strategy::configurable);
  ASSERT_TRUE(response.video_content.configurable.has_value());
  EXPECT_EQ(response.video_content.configurable->direct_upload.url.absoluteString(),
            "https://storage.test/v/1?sig=a");
  EXPECT_EQ(
      response.video_content.configurable->direct_upload.headers,
      (std::map<std::string, std::string>{{"Content-MD5", "x"}, {"Content-Type", "video/mp4"}}));
  // A configurable plan without parameters decodes; only its use fails.
  EXPECT_EQ(response.preview_image.strategy, UploadPlan::Strategy::configurable);
  EXPECT_FALSE(response.preview_image.configurable.has_value());

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(bodyOf(requests[0]), nlohmann::json::parse(R"({
      "video_content": {"byte_size": 1234, "checksum": "ICy5YqxZB1uWSwcVLSNLcA==", "content_type": "video/mp4"},
      "preview_image": {"byte_size": 56, "checksum": "kAFQmDzST7DWlj99KOF/cg==", "content_type": "image/jpeg"},
      "shareable": {"title": "Trip", "shareable_type": "video"}})"));
}

TEST_F(NetworkTest, AShareResponseWithoutTheAccessTokenFailsDecoding) {
  auto reply = nlohmann::json::parse(kShareResponse);
  reply["shareable"].erase("shareable_access_token");
  server.reply("POST", "/v1/api/sdk/share", ScriptedResponse{200, reply.dump()});
  Received<ShareResponse> received;
  network->shareRequest(sampleShareRequest(), received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("Unable to decode response to type ShareResponse",
                               kMissingDescription, DocumentationIdentifier::unexpecteError),
                          line("[network POST /share] - failure", "Decoding error.",
                               DocumentationIdentifier::unexpecteError)));
}

TEST_F(NetworkTest, AnUnknownStrategyTextFailsTheWholeShareResponse) {
  for (const char* strategy : {"unknown", "Configurable", "multipart"}) {
    SCOPED_TRACE(strategy);
    auto reply = nlohmann::json::parse(kShareResponse);
    reply["preview_image"]["strategy"] = strategy;
    server.reply("POST", "/v1/api/sdk/share", ScriptedResponse{200, reply.dump()});
    Received<ShareResponse> received;
    network->shareRequest(sampleShareRequest(), received.completion());
    ASSERT_TRUE(received.wait());
    EXPECT_EQ(received.result().error(), Network::Error::decoding);
  }
}

TEST_F(NetworkTest, AnUnparsableDirectUploadAddressFailsDecoding) {
  auto reply = nlohmann::json::parse(kShareResponse);
  reply["video_content"]["configurable"]["direct_upload"]["url"] = "not a url";
  server.reply("POST", "/v1/api/sdk/share", ScriptedResponse{200, reply.dump()});
  Received<ShareResponse> received;
  network->shareRequest(sampleShareRequest(), received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
}

TEST_F(NetworkTest, ActivationSucceedsOnAnyJSONDocumentAndFailsOnAnEmptyBody) {
  server.reply("POST", "/v1/api/sdk/share/activate", ScriptedResponse{200, "{}"});
  Received<EmptyResponse> accepted;
  network->activateShare(ActivateRequest{false, true, "tok-9"}, accepted.completion());
  ASSERT_TRUE(accepted.wait());
  EXPECT_TRUE(accepted.result().has_value());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/v1/api/sdk/share/activate");
  EXPECT_EQ(bodyOf(requests[0]), (nlohmann::json{{"video_content", false},
                                                 {"preview_image", true},
                                                 {"shareable_access_token", "tok-9"}}));

  server.reply("POST", "/v1/api/sdk/share/activate", ScriptedResponse{200, ""});
  Received<EmptyResponse> empty;
  network->activateShare(ActivateRequest{true, false, "tok-9"}, empty.completion());
  ASSERT_TRUE(empty.wait());
  EXPECT_EQ(empty.result().error(), Network::Error::decoding);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("Unable to decode response to type EmptyResponse",
                               kDecodingDescription, DocumentationIdentifier::unexpecteError),
                          line("[network POST /share/activate] - failure", "Decoding error.",
                               DocumentationIdentifier::unexpecteError)));
}

TEST_F(NetworkTest, DeletionSendsDeleteToShareWithOnlyTheToken) {
  server.reply("DELETE", "/v1/api/sdk/share", ScriptedResponse{200, "[]"});
  Received<EmptyResponse> received;
  network->deleteShare(DeleteShareRequest{"tok-3"}, received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_TRUE(received.result().has_value());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "DELETE");
  EXPECT_EQ(requests[0].path, "/v1/api/sdk/share");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(bodyOf(requests[0]), (nlohmann::json{{"shareable_access_token", "tok-3"}}));
}

TEST_F(NetworkTest, DeletionFailureWritesItsLogLine) {
  server.reply("DELETE", "/v1/api/sdk/share", ScriptedResponse{200, "not json"});
  Received<EmptyResponse> received;
  network->deleteShare(DeleteShareRequest{"tok-3"}, received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
  EXPECT_TRUE(capture.contains(line("[network DELETE /share/activate] - failure", "Decoding error.",
                                    DocumentationIdentifier::unexpecteError)));
}

TEST_F(NetworkTest, UploadContextPutsTheEncodedContextAndReturnsTheCode) {
  server.reply("PUT", "/v1/api/sdk/debug/context", ScriptedResponse{200, R"({"code": "K7Q2"})"});
  UGCContext context("scene-builder");
  context.set(3, "layers");
  context.set(std::string("portrait"), "orientation");
  Received<ContextResponse> received;
  network->uploadContext(context, received.completion());
  ASSERT_TRUE(received.wait());
  ASSERT_TRUE(received.result().has_value());
  EXPECT_EQ(received.result()->code, "K7Q2");
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "PUT");
  EXPECT_EQ(requests[0].path, "/v1/api/sdk/debug/context");
  EXPECT_EQ(
      bodyOf(requests[0]),
      nlohmann::json::parse(
          R"({"tag": "scene-builder", "context": {"layers": 3, "orientation": "portrait"}})"));
}

TEST_F(NetworkTest, AContextReplyWithoutACodeFailsWithTheDebugLine) {
  server.reply("PUT", "/v1/api/sdk/debug/context", ScriptedResponse{200, R"({"id": "K7Q2"})"});
  Received<ContextResponse> received;
  network->uploadContext(UGCContext("t"), received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("Unable to decode response to type ContextResponse",
                               kMissingDescription, DocumentationIdentifier::unexpecteError),
                          line("[network POST /debug/context] - failure", "Decoding error.",
                               DocumentationIdentifier::unexpecteError)));
}

TEST_F(NetworkTest, BodiesThatCannotBeEncodedFailAtOnceWithoutLogOrRequest) {
  ShareRequest share = sampleShareRequest();
  share.shareable.title = "bad \xff text";
  Received<ShareResponse> shared;
  network->shareRequest(share, shared.completion());
  EXPECT_EQ(shared.calls(), 1);
  EXPECT_EQ(shared.thread(), std::this_thread::get_id());
  EXPECT_EQ(shared.result().error(),
            Error(Network::Error::unknown, "the request body has no JSON form"));

  UGCContext context("t");
  context.set(std::nan(""), "ratio");
  Received<ContextResponse> uploaded;
  network->uploadContext(context, uploaded.completion());
  EXPECT_EQ(uploaded.calls(), 1);
  EXPECT_EQ(uploaded.result().error(),
            Error(Network::Error::unknown, "the request body has no JSON form"));

  EXPECT_THAT(capture.lines(), IsEmpty());
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetworkTest, ARefusedConnectionPassesTheTransportErrorOnUnchanged) {
  auto offline = std::make_shared<Network>(
      session, authentication, contrib,
      *URL::parse("http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/v1/api/sdk/"),
      *URL::parse(server.url("/v1/events")));
  Received<ApplicationResponse> received;
  offline->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), URLError::cannotConnectToHost);
  EXPECT_THAT(capture.lines(), ElementsAre(line("[network GET /application] - failure",
                                                "Could not connect to the server.")));
}

TEST_F(NetworkTest, AServerThatNeverAnswersTimesOut) {
  testing::RawServer silent(std::nullopt);
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeral();
  configuration.timeoutIntervalForRequest = std::chrono::milliseconds(300);
  auto impatient = std::make_shared<Network>(URLSession::make(configuration), authentication,
                                             contrib, *URL::parse(silent.url("/v1/api/sdk/")),
                                             *URL::parse(silent.url("/v1/events")));
  Received<ShareResponse> received;
  impatient->shareRequest(sampleShareRequest(), received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), URLError::timedOut);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("[network POST /share] - failure", "The request timed out.",
                               DocumentationIdentifier::unexpecteError)));
}

TEST_F(NetworkTest, ATruncatedReplyIsALostConnection) {
  testing::RawServer truncating(
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 100\r\n\r\n{\"slug\"");
  auto network = std::make_shared<Network>(session, authentication, contrib,
                                           *URL::parse(truncating.url("/v1/api/sdk/")),
                                           *URL::parse(truncating.url("/v1/events")));
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), URLError::networkConnectionLost);
}

TEST_F(NetworkTest, AReplyLargerThanTheLimitFailsDecodingWithoutBeingKept) {
  std::string huge = R"({"slug": ")" + std::string(Network::kMaximumResponseSize, 'a') + R"("})";
  server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{200, huge});
  Received<ApplicationResponse> received;
  network->application(received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Network::Error::decoding);
  EXPECT_THAT(capture.lines(),
              ElementsAre(line("Unable to decode response to type ApplicationResponse",
                               "The response is larger than allowed.",
                               DocumentationIdentifier::unexpecteError),
                          line("[network GET /application] - failure", "Decoding error.")));
}

TEST_F(NetworkTest, AReplyLargerThanTheLimitIsJudgedByItsStatusFirst) {
  const std::string huge(Network::kMaximumResponseSize + 1, 'a');
  const struct {
    int status;
    Network::Error error;
  } cases[] = {{401, Network::Error::notAuthenticated}, {500, Network::Error::unknown}};
  for (const auto& [status, error] : cases) {
    server.reply("GET", "/v1/api/sdk/application", ScriptedResponse{status, huge});
    Received<ApplicationResponse> received;
    network->application(received.completion());
    ASSERT_TRUE(received.wait());
    EXPECT_EQ(received.result().error(), error) << status;
  }
}

Configurable configurableFor(const std::string& url, std::map<std::string, std::string> headers) {
  return Configurable{DirectUpload{*URL::parse(url), std::move(headers)}};
}

TEST_F(NetworkTest, AStorageReplyLongerThanTheLimitFailsTheUploadUnkept) {
  server.reply("PUT", "/bucket/video.mp4",
               ScriptedResponse{200, std::string(Network::kMaximumStorageReplySize + 1, 'x')});
  Received<void> received;
  network->uploadWithConfigurable(configurableFor(server.url("/bucket/video.mp4"), {}),
                                  std::make_shared<const Data>(Data{1, 2, 3}),
                                  received.completion());
  ASSERT_TRUE(received.wait());
  ASSERT_FALSE(received.result().has_value());
  EXPECT_EQ(received.result().error(), URLError::dataLengthExceedsMaximum);
}

TEST_F(NetworkTest, ADirectUploadCarriesOnlyThePlansHeadersAndTheExactBytes) {
  server.reply("PUT", "/bucket/video.mp4", ScriptedResponse{200, ""});
  auto bytes = std::make_shared<const Data>(Data{0x00, 0xff, 0x0d, 0x0a, 0x41, 0x00});
  UploadPlan plan{UploadPlan::Strategy::configurable,
                  configurableFor(server.url("/bucket/video.mp4?X-Sig=abc%2F1"),
                                  {{"Content-MD5", "ICy5YqxZB1uWSwcVLSNLcA=="},
                                   {"Content-Type", "video/mp4"},
                                   {"x-amz-acl", "public-read"}})};
  Received<void> received;
  network->upload(plan, bytes, received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_TRUE(received.result().has_value());

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "PUT");
  EXPECT_EQ(requests[0].query, "X-Sig=abc%2F1");
  EXPECT_EQ(requests[0].body, std::string("\x00\xff\r\nA\x00", 6));
  EXPECT_THAT(requests[0].applicationHeaderNames(),
              ::testing::UnorderedElementsAre("content-md5", "content-type", "x-amz-acl"));
  EXPECT_EQ(requests[0].header("Content-Type"), "video/mp4");
  EXPECT_EQ(requests[0].header("Content-MD5"), "ICy5YqxZB1uWSwcVLSNLcA==");
  EXPECT_THAT(capture.lines(), IsEmpty());
}

TEST_F(NetworkTest, ADirectUploadNeedsNoApiKey) {
  authentication->setApiKey(std::nullopt);
  server.reply("PUT", "/bucket/a", ScriptedResponse{204, ""});
  Received<void> received;
  network->uploadWithConfigurable(configurableFor(server.url("/bucket/a"), {}),
                                  std::make_shared<const Data>(Data{1, 2, 3}),
                                  received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_TRUE(received.result().has_value());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0].applicationHeaderNames(), IsEmpty());
  EXPECT_EQ(requests[0].body, "\x01\x02\x03");
}

TEST_F(NetworkTest, ADirectUploadRefusedByStorageFailsAsUnknownWithoutLogging) {
  server.reply("PUT", "/bucket/a",
               ScriptedResponse{403, "<Error>AccessDenied</Error>", "text/xml", {}});
  Received<void> received;
  network->uploadWithConfigurable(configurableFor(server.url("/bucket/a"), {}),
                                  std::make_shared<const Data>(Data{1}), received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), Error(Network::Error::unknown, "HTTP status 403"));
  EXPECT_THAT(capture.lines(), IsEmpty());
}

TEST_F(NetworkTest, ADirectUploadTransportErrorIsPassedOn) {
  Received<void> received;
  network->uploadWithConfigurable(
      configurableFor("http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/a", {}),
      std::make_shared<const Data>(Data{1}), received.completion());
  ASSERT_TRUE(received.wait());
  EXPECT_EQ(received.result().error(), URLError::cannotConnectToHost);
  EXPECT_THAT(capture.lines(), IsEmpty());
}

TEST_F(NetworkTest, PlansThatCannotBeUsedFailAtOnceWithoutARequest) {
  const std::string target = server.url("/bucket/a");
  const std::string noDirectUpload = "the upload plan has no configurable direct upload";
  const std::string lineBreak = "a header of the upload plan holds a line break";
  const struct {
    UploadPlan plan;
    std::string detail;
  } cases[] = {
      {{UploadPlan::Strategy::unknown, configurableFor(target, {})}, noDirectUpload},
      {{UploadPlan::Strategy::configurable, std::nullopt}, noDirectUpload},
      {{UploadPlan::Strategy::configurable,
        configurableFor(target, {{"X-A", "1\r\nX-Injected: 1"}})},
       lineBreak},
      {{UploadPlan::Strategy::configurable, configurableFor(target, {{"X-A\nX-B", "1"}})},
       lineBreak},
  };
  for (const auto& [plan, detail] : cases) {
    SCOPED_TRACE(detail);
    Received<void> received;
    network->upload(plan, std::make_shared<const Data>(Data{1}), received.completion());
    EXPECT_EQ(received.calls(), 1);
    EXPECT_EQ(received.thread(), std::this_thread::get_id());
    EXPECT_EQ(received.result().error(), Error(Network::Error::unknown, detail));
  }
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_THAT(capture.lines(), IsEmpty());
}

TEST(NetworkError, DescriptionsAreTheEnglishTexts) {
  testing::TemporaryMainBundle bundle;
  EXPECT_EQ(Error(Network::Error::unknown).localizedDescription(), "An unknown error occurred.");
  EXPECT_EQ(Error(Network::Error::notAuthenticated).localizedDescription(), "Unauthorized.");
  EXPECT_EQ(Error(Network::Error::decoding).localizedDescription(), "Decoding error.");
  EXPECT_EQ(Error(Network::Error::decoding).domainName(), "Velmoradine.Network");
  EXPECT_NE(Error(Network::Error::decoding), Error(Network::Error::unknown));
}

TEST(NetworkError, TheHostMayTranslateTheDescriptions) {
  testing::TemporaryMainBundle bundle;
  bundle.writeFile("Localizable.strings", "\"Decoding error.\" = \"Erreur de d\u00e9codage.\";\n");
  EXPECT_EQ(Error(Network::Error::decoding).localizedDescription(), "Erreur de d\u00e9codage.");
  EXPECT_EQ(Error(Network::Error::unknown).localizedDescription(), "An unknown error occurred.");
}

TEST(NetworkDefaults, BaseAddressesDefaultToTheBuildSettings) {
  testing::TemporaryMainBundle bundle;
  EXPECT_EQ(Network::defaultBaseURL()->absoluteString(), deployment::kDefaultAPIBaseURL);
  EXPECT_EQ(Network::defaultAnalyticsBaseURL()->absoluteString(), deployment::kDefaultEventsURL);
}

TEST(NetworkDefaults, TheHostOverridesTheBaseAddresses) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"VelmoradineAPIBaseURL", "http://api.example.test/v2/sdk"},
                         {"VelmoradineEventsURL", "http://events.example.test/v1/events"}});
  // A base without its trailing slash would lose its last segment in resolution.
  EXPECT_EQ(Network::defaultBaseURL()->absoluteString(), "http://api.example.test/v2/sdk/");
  EXPECT_EQ(Network::defaultAnalyticsBaseURL()->absoluteString(),
            "http://events.example.test/v1/events");
}

TEST(NetworkDefaults, TheSharedInstanceIsCreatedOnce) {
  EXPECT_EQ(Network::shared().get(), Network::shared().get());
  EXPECT_EQ(Network::shared()->authenticationDatastore(),
            Datastore::shared().authenticationDatastore);
  EXPECT_EQ(Network::shared()->contribDatastore(), Datastore::shared().contribDatastore);
}

std::vector<std::uint8_t> patternBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = 2463534242u;
  for (auto& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<std::uint8_t>(state);
  }
  return bytes;
}

TEST_F(NetworkTest, AViewedFileIsDigestedAndUploadedExactlyAtEverySize) {
  // Sizes on both sides of a page and of the digest's and libcurl's chunks.
  const std::size_t sizes[] = {0,     1,     4095,   4096,   4097,   16383,
                               16384, 16385, 262143, 262144, 262145, 3 * 1048576 + 7};
  testing::TemporaryDirectory directory;
  server.reply("PUT", "/bucket/file", ScriptedResponse{200, ""});
  for (std::size_t size : sizes) {
    const auto bytes = patternBytes(size);
    const auto path = directory.path() / ("file-" + std::to_string(size));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    auto view = viewContents(path);
    ASSERT_TRUE(view) << size;
    EXPECT_TRUE(view->isFileView());
    EXPECT_EQ(streamedMD5Base64(*view).value(), md5Base64(bytes).value()) << size;
    EXPECT_TRUE(*view == Data(bytes)) << size;
    Received<void> received;
    network->uploadWithConfigurable(configurableFor(server.url("/bucket/file"), {}),
                                    std::make_shared<const Data>(std::move(*view)),
                                    received.completion());
    ASSERT_TRUE(received.wait());
    EXPECT_TRUE(received.result().has_value()) << size;
    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(requests.back().body == std::string(bytes.begin(), bytes.end())) << size;
  }
}

TEST_F(NetworkTest, AViewedFileThatShrinksFailsItsDigestAndItsUpload) {
  testing::TemporaryDirectory directory;
  const auto path = directory.path() / "video.mp4";
  const auto bytes = patternBytes(2 * 1048576);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  auto view = std::make_shared<const Data>(viewContents(path).value());
  std::filesystem::resize_file(path, 1000);
  auto digest = streamedMD5Base64(*view);
  ASSERT_FALSE(digest);
  EXPECT_THAT(digest.error().detail(), ::testing::HasSubstr("became shorter"));
  server.reply("PUT", "/bucket/file", ScriptedResponse{200, ""});
  Received<void> received;
  network->uploadWithConfigurable(configurableFor(server.url("/bucket/file"), {}), view,
                                  received.completion());
  ASSERT_TRUE(received.wait());
  ASSERT_FALSE(received.result().has_value());
  EXPECT_THAT(received.result().error().detail(), ::testing::HasSubstr("became shorter"));
  EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
}  // namespace velmoradine
