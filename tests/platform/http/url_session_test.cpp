#include "velmoradine/platform/http/url_session.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "tests/support/scripted_server.hpp"
#include "tests/support/wait.hpp"

namespace velmoradine {
namespace {

using testing::RawServer;
using testing::ScriptedResponse;
using testing::ScriptedServer;
using testing::waitUntil;

// What a data task's completion received.
struct Completed {
  std::optional<Data> data;
  std::optional<HTTPURLResponse> response;
  std::optional<Error> error;
  bool onDelegateQueue = false;
  int calls = 0;

  std::string body() const { return data ? std::string(data->begin(), data->end()) : ""; }
};

class Recorder {
 public:
  DataTaskCompletion completion(const std::shared_ptr<URLSession>& session) {
    return [this, queue = session->delegateQueue().get()](std::optional<Data> data,
                                                          std::optional<HTTPURLResponse> response,
                                                          std::optional<Error> error) {
      std::lock_guard lock(mutex_);
      completed_.data = std::move(data);
      completed_.response = std::move(response);
      completed_.error = std::move(error);
      completed_.onDelegateQueue = queue->isCurrent();
      ++completed_.calls;
    };
  }
  Completed wait() {
    EXPECT_TRUE(waitUntil([this] {
      std::lock_guard lock(mutex_);
      return completed_.calls > 0;
    }));
    std::lock_guard lock(mutex_);
    return completed_;
  }
  int calls() {
    std::lock_guard lock(mutex_);
    return completed_.calls;
  }

 private:
  std::mutex mutex_;
  Completed completed_;
};

URLRequest requestFor(const std::string& url) {
  return URLRequest(*URL::parse(url));
}

Completed run(const std::shared_ptr<URLSession>& session, URLRequest request) {
  Recorder recorder;
  session->dataTask(std::move(request), recorder.completion(session))->resume();
  return recorder.wait();
}

class URLSessionTest : public ::testing::Test {
 protected:
  ScriptedServer server;
  std::shared_ptr<URLSession> session = URLSession::make(URLSessionConfiguration::ephemeral());
};

TEST_F(URLSessionTest, ADataTaskDeliversBodyStatusAndHeadersOnTheDelegateQueue) {
  server.reply("GET", "/hello",
               ScriptedResponse{200, "hi there", "text/plain", {{"X-Reply", "yes"}}});
  Completed completed = run(session, requestFor(server.url("/hello")));
  ASSERT_FALSE(completed.error.has_value()) << completed.error->localizedDescription();
  EXPECT_TRUE(completed.onDelegateQueue);
  EXPECT_EQ(completed.body(), "hi there");
  ASSERT_TRUE(completed.response.has_value());
  EXPECT_EQ(completed.response->statusCode, 200);
  EXPECT_EQ(completed.response->valueForHTTPHeaderField("x-reply"), "yes");
  EXPECT_EQ(completed.response->mimeType(), "text/plain");
  EXPECT_EQ(completed.response->expectedContentLength(), 8);
  EXPECT_EQ(completed.response->url.absoluteString(), server.url("/hello"));
}

TEST_F(URLSessionTest, NothingIsSentBeforeResume) {
  server.reply("GET", "/x", ScriptedResponse{200, "{}"});
  Recorder recorder;
  auto task = session->dataTask(requestFor(server.url("/x")), recorder.completion(session));
  EXPECT_EQ(task->state(), URLSessionTask::State::suspended);
  EXPECT_EQ(server.requestCount(), 0u);
  task->resume();
  recorder.wait();
  EXPECT_EQ(task->state(), URLSessionTask::State::completed);
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(URLSessionTest, SendsMethodHeadersAndBodyAsGiven) {
  server.reply("PATCH", "/items/1", ScriptedResponse{202, "ok", "text/plain"});
  URLRequest request = requestFor(server.url("/items/1?a=b"));
  request.setHTTPMethod("PATCH");
  request.setValue("application/json", "Content-Type");
  request.addValue("one", "X-List");
  request.addValue("two", "x-list");
  request.setHTTPBody(Data{'{', '}'});
  Completed completed = run(session, request);
  EXPECT_EQ(completed.response->statusCode, 202);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "PATCH");
  EXPECT_EQ(requests[0].query, "a=b");
  EXPECT_EQ(requests[0].body, "{}");
  EXPECT_EQ(requests[0].header("X-List"), "one, two");
  EXPECT_THAT(requests[0].applicationHeaderNames(),
              ::testing::UnorderedElementsAre("content-type", "x-list"));
}

TEST_F(URLSessionTest, SendsExactlyTheRequestsFieldsEvenEmptyOnes) {
  RawServer recording("HTTP/1.1 204 No Content\r\n\r\n");
  URLRequest request = requestFor(recording.url("/upload"));
  request.setHTTPMethod("PUT");
  request.setValue("", "X-Empty");
  request.setValue("v", "X-Plan");
  request.setHTTPBody(Data{1, 2});
  Completed completed = run(session, request);
  ASSERT_FALSE(completed.error.has_value()) << completed.error->localizedDescription();
  EXPECT_EQ(completed.response->statusCode, 204);
  auto heads = recording.receivedHeads();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0],
            "PUT /upload HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(recording.port()) +
                "\r\nX-Empty:\r\nX-Plan: v\r\nContent-Length: 2");
}

TEST_F(URLSessionTest, AnHTTPErrorStatusIsACompletedTaskNotATransportError) {
  server.reply("GET", "/missing", ScriptedResponse{404, "nope", "text/plain"});
  Completed completed = run(session, requestFor(server.url("/missing")));
  EXPECT_FALSE(completed.error.has_value());
  EXPECT_EQ(completed.response->statusCode, 404);
  EXPECT_EQ(completed.body(), "nope");
}

TEST_F(URLSessionTest, SequentialRequestsReuseOneConnection) {
  server.reply("GET", "/a", ScriptedResponse{200, "{}"});
  for (int i = 0; i < 5; ++i) run(session, requestFor(server.url("/a")));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  for (const auto& request : requests) EXPECT_EQ(request.remotePort, requests[0].remotePort);
}

TEST_F(URLSessionTest, RedirectsAreFollowedAndTheResponseNamesTheFinalURL) {
  server.reply("GET", "/old", ScriptedResponse{302, "", "text/plain", {{"Location", "/new"}}});
  server.reply("GET", "/new", ScriptedResponse{200, "moved", "text/plain"});
  Completed completed = run(session, requestFor(server.url("/old")));
  EXPECT_EQ(completed.response->statusCode, 200);
  EXPECT_EQ(completed.body(), "moved");
  EXPECT_EQ(completed.response->url.absoluteString(), server.url("/new"));
}

TEST_F(URLSessionTest, EndlessRedirectsFail) {
  server.reply("GET", "/loop", ScriptedResponse{302, "", "text/plain", {{"Location", "/loop"}}});
  Completed completed = run(session, requestFor(server.url("/loop")));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::httpTooManyRedirects);
  EXPECT_FALSE(completed.data.has_value());
  EXPECT_FALSE(completed.response.has_value());
}

TEST_F(URLSessionTest, ARefusedConnectionFailsToConnect) {
  Completed completed =
      run(session, requestFor("http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/"));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::cannotConnectToHost);
  EXPECT_EQ(completed.error->localizedDescription(), "Could not connect to the server.");
  EXPECT_TRUE(completed.onDelegateQueue);
}

TEST_F(URLSessionTest, TheRequestTimeOutEndsAWaitForASilentServer) {
  RawServer silent(std::nullopt);
  URLRequest request = requestFor(silent.url("/"));
  request.setTimeoutInterval(std::chrono::milliseconds(200));
  Completed completed = run(session, request);
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::timedOut);
  EXPECT_EQ(silent.connectionCount(), 1u);
}

TEST_F(URLSessionTest, TheSessionsRequestTimeOutCapsTheRequestsOwn) {
  RawServer silent(std::nullopt);
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeral();
  configuration.timeoutIntervalForRequest = std::chrono::milliseconds(200);
  auto impatient = URLSession::make(configuration);
  Completed completed = run(impatient, requestFor(silent.url("/")));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::timedOut);
}

TEST_F(URLSessionTest, TheResourceTimeOutBoundsTheWholeTask) {
  RawServer silent(std::nullopt);
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeral();
  configuration.timeoutIntervalForResource = std::chrono::milliseconds(250);
  auto bounded = URLSession::make(configuration);
  Completed completed = run(bounded, requestFor(silent.url("/")));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::timedOut);
}

TEST_F(URLSessionTest, ARequestsTotalTimeOutBoundsItWithinALongerIdleTimeOut) {
  RawServer silent(std::nullopt);
  URLRequest request = requestFor(silent.url("/"));
  request.setTimeoutInterval(std::chrono::minutes(10));
  request.setTotalTimeoutInterval(std::chrono::milliseconds(250));
  Completed completed = run(session, request);
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::timedOut);
}

TEST_F(URLSessionTest, ATruncatedBodyIsALostConnection) {
  RawServer truncating("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nonly part");
  Completed completed = run(session, requestFor(truncating.url("/")));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::networkConnectionLost);
  EXPECT_FALSE(completed.data.has_value());
}

TEST_F(URLSessionTest, AnEmptyReplyIsALostConnection) {
  RawServer closing("");
  Completed completed = run(session, requestFor(closing.url("/")));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::networkConnectionLost);
}

TEST_F(URLSessionTest, AReplyThatIsNotHTTPIsABadServerResponse) {
  RawServer garbage("SSH-2.0-OpenSSH_9.2\r\n\r\n");
  Completed completed = run(session, requestFor(garbage.url("/")));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::badServerResponse) << completed.error->detail();
}

TEST_F(URLSessionTest, ABodyBeyondTheRequestsLimitFailsWhetherAnnouncedOrNot) {
  server.reply("GET", "/big", ScriptedResponse{401, std::string(5000, 'x'), "text/plain"});
  URLRequest announced = requestFor(server.url("/big"));
  announced.setMaximumResponseSize(4096);
  Completed first = run(session, announced);
  ASSERT_TRUE(first.error.has_value());
  EXPECT_EQ(*first.error, URLError::dataLengthExceedsMaximum);
  EXPECT_FALSE(first.data.has_value());
  ASSERT_TRUE(first.response.has_value()) << "the status is known before the body";
  EXPECT_EQ(first.response->statusCode, 401);

  // Without a length announced, the limit is enforced as bytes arrive.
  RawServer unannounced("HTTP/1.1 500 Oops\r\nConnection: close\r\n\r\n" + std::string(5000, 'y'));
  URLRequest streamed = requestFor(unannounced.url("/"));
  streamed.setMaximumResponseSize(4096);
  Completed second = run(session, streamed);
  ASSERT_TRUE(second.error.has_value());
  EXPECT_EQ(*second.error, URLError::dataLengthExceedsMaximum);
  ASSERT_TRUE(second.response.has_value());
  EXPECT_EQ(second.response->statusCode, 500);
}

TEST_F(URLSessionTest, HeadersThatWouldSplitTheRequestAreRefused) {
  URLRequest request = requestFor(server.url("/x"));
  request.setValue("a\r\nX-Injected: 1", "X-Value");
  Completed completed = run(session, request);
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::badURL);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(URLSessionTest, OnlyHTTPAndHTTPSAreLoaded) {
  Completed completed = run(session, requestFor("ftp://127.0.0.1/file"));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::unsupportedURL);
}

TEST_F(URLSessionTest, AnHTTPSRequestToAPlainTextServerFailsTheHandshake) {
  // A plain-text server cannot complete a TLS handshake.
  server.reply("GET", "/", ScriptedResponse{200, "{}"});
  Completed completed =
      run(session, requestFor("https://127.0.0.1:" + std::to_string(server.port()) + "/"));
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::secureConnectionFailed);
}

TEST_F(URLSessionTest, CancellingARunningTaskCompletesItOnceWithCancelled) {
  RawServer silent(std::nullopt);
  Recorder recorder;
  auto task = session->dataTask(requestFor(silent.url("/")), recorder.completion(session));
  task->resume();
  ASSERT_TRUE(waitUntil([&] { return silent.connectionCount() == 1; }));
  task->cancel();
  task->cancel();
  Completed completed = recorder.wait();
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::cancelled);
  EXPECT_EQ(task->state(), URLSessionTask::State::completed);
  session.reset();
  EXPECT_EQ(recorder.calls(), 1);
}

TEST_F(URLSessionTest, CancellingASuspendedTaskCompletesItWithoutSending) {
  Recorder recorder;
  auto task = session->dataTask(requestFor(server.url("/x")), recorder.completion(session));
  task->cancel();
  Completed completed = recorder.wait();
  EXPECT_EQ(*completed.error, URLError::cancelled);
  task->resume();
  session.reset();
  EXPECT_EQ(recorder.calls(), 1);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(URLSessionTest, DestroyingTheSessionCancelsWhatIsStillRunning) {
  RawServer silent(std::nullopt);
  Recorder recorder;
  session->dataTask(requestFor(silent.url("/")), recorder.completion(session))->resume();
  ASSERT_TRUE(waitUntil([&] { return silent.connectionCount() == 1; }));
  session.reset();
  Completed completed = recorder.wait();
  ASSERT_TRUE(completed.error.has_value());
  EXPECT_EQ(*completed.error, URLError::cancelled);
}

TEST_F(URLSessionTest, ACompletionMayReleaseTheLastReferenceToItsSession) {
  server.reply("GET", "/a", ScriptedResponse{200, "a", "text/plain"});
  std::atomic<bool> released = false;
  auto task =
      session->dataTask(requestFor(server.url("/a")),
                        [&, owner = session](std::optional<Data>, std::optional<HTTPURLResponse>,
                                             std::optional<Error>) mutable {
                          owner.reset();
                          released = true;
                        });
  session.reset();
  task->resume();
  task.reset();
  EXPECT_TRUE(waitUntil([&] { return released.load(); }));
}

TEST_F(URLSessionTest, WorkOnTheDelegateQueueStillRunsInOrderAfterTheSessionIsGone) {
  std::shared_ptr<DispatchQueue> queue = session->delegateQueue();
  session.reset();
  std::mutex mutex;
  std::vector<int> order;
  bool onQueue = true;
  for (int i = 0; i < 50; ++i) {
    queue->async([&, i, raw = queue.get()] {
      std::lock_guard lock(mutex);
      order.push_back(i);
      onQueue = onQueue && raw->isCurrent();
    });
  }
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return order.size() == 50;
  }));
  std::lock_guard lock(mutex);
  EXPECT_TRUE(std::ranges::is_sorted(order));
  EXPECT_TRUE(onQueue);
}

TEST_F(URLSessionTest, AHostsOwnDelegateQueueReceivesTheCompletions) {
  server.reply("GET", "/a", ScriptedResponse{200, "a", "text/plain"});
  auto queue = DispatchQueue::serial("host queue");
  auto hosted = URLSession::make(URLSessionConfiguration::ephemeral(), queue);
  EXPECT_EQ(hosted->delegateQueue(), queue);
  Completed completed = run(hosted, requestFor(server.url("/a")));
  EXPECT_TRUE(completed.onDelegateQueue);
  EXPECT_EQ(completed.body(), "a");
}

TEST_F(URLSessionTest, ManyConcurrentTasksEachCompleteOnce) {
  server.reply("GET", "/n", [](const testing::RecordedRequest& request) {
    return ScriptedResponse{200, request.query, "text/plain"};
  });
  constexpr int kTasks = 40;
  std::mutex mutex;
  std::vector<std::string> bodies;
  for (int i = 0; i < kTasks; ++i) {
    session
        ->dataTask(
            requestFor(server.url("/n?" + std::to_string(i))),
            [&](std::optional<Data> data, std::optional<HTTPURLResponse>, std::optional<Error>) {
              std::lock_guard lock(mutex);
              bodies.emplace_back(data ? std::string(data->begin(), data->end()) : "error");
            })
        ->resume();
  }
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return bodies.size() == kTasks;
  }));
  session.reset();
  std::vector<std::string> expected;
  for (int i = 0; i < kTasks; ++i) expected.push_back(std::to_string(i));
  EXPECT_THAT(bodies, ::testing::UnorderedElementsAreArray(expected));
}

TEST_F(URLSessionTest, ADownloadTaskHandsOverAFileThatIsRemovedAfterTheCompletion) {
  std::string payload(300000, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i % 251);
  server.reply("GET", "/video.mp4", ScriptedResponse{200, payload, "video/mp4"});
  std::mutex mutex;
  std::optional<std::filesystem::path> location;
  std::string contents;
  int status = 0;
  bool done = false;
  session
      ->downloadTask(requestFor(server.url("/video.mp4")),
                     [&](std::optional<URL> file, std::optional<HTTPURLResponse> response,
                         std::optional<Error> error) {
                       std::lock_guard lock(mutex);
                       EXPECT_FALSE(error.has_value());
                       if (file) {
                         location = file->filePath();
                         std::ifstream stream(*location, std::ios::binary);
                         contents.assign(std::istreambuf_iterator<char>(stream), {});
                       }
                       status = response ? response->statusCode : 0;
                       done = true;
                     })
      ->resume();
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return done;
  }));
  session.reset();
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(status, 200);
  EXPECT_EQ(contents, payload);
  // Removed on the delegate queue right after the completion returned.
  EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(*location); }));
}

TEST_F(URLSessionTest, AFailedDownloadLeavesNoFile) {
  RawServer truncating("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nonly part");
  std::mutex mutex;
  std::optional<Error> failure;
  bool hadFile = true;
  bool done = false;
  session
      ->downloadTask(
          requestFor(truncating.url("/")),
          [&](std::optional<URL> file, std::optional<HTTPURLResponse>, std::optional<Error> error) {
            std::lock_guard lock(mutex);
            hadFile = file.has_value();
            failure = error;
            done = true;
          })
      ->resume();
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return done;
  }));
  EXPECT_FALSE(hadFile);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, URLError::networkConnectionLost);
}

TEST_F(URLSessionTest, TheEphemeralSessionKeepsNoCookiesAndTheDefaultOneDoes) {
  server.reply(
      "GET", "/login",
      ScriptedResponse{200, "{}", "application/json", {{"Set-Cookie", "session=abc; Path=/"}}});
  server.reply("GET", "/me", ScriptedResponse{200, "{}"});
  run(session, requestFor(server.url("/login")));
  run(session, requestFor(server.url("/me")));
  auto withDefault = URLSession::make(URLSessionConfiguration::defaultConfiguration());
  run(withDefault, requestFor(server.url("/login")));
  run(withDefault, requestFor(server.url("/me")));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[1].header("Cookie"), std::nullopt);
  EXPECT_EQ(requests[3].header("Cookie"), "session=abc");
}

TEST_F(URLSessionTest, AdditionalHeadersApplyUnlessTheRequestSetsTheField) {
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeral();
  configuration.httpAdditionalHeaders = {{"User-Agent", "Velmoradine"}, {"Accept", "*/*"}};
  auto configured = URLSession::make(configuration);
  server.reply("GET", "/x", ScriptedResponse{200, "{}"});
  URLRequest request = requestFor(server.url("/x"));
  request.setValue("application/json", "Accept");
  run(configured, request);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header("User-Agent"), "Velmoradine");
  EXPECT_EQ(requests[0].header("Accept"), "application/json");
}

}  // namespace
}  // namespace velmoradine
