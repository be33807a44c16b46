#include "velmoradine/platform/http/url_cache.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/scripted_server.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine {
namespace {

using testing::ScriptedResponse;

URLRequest requestFor(const std::string& url) {
  return URLRequest(*URL::parse(url));
}

CachedURLResponse responseWith(const std::string& url, std::size_t size, char fill = 'x') {
  return {HTTPURLResponse{*URL::parse(url), 200, {{"Content-Type", "text/plain"}}},
          Data(size, static_cast<std::uint8_t>(fill))};
}

TEST(URLCache, KeepsResponsesInMemoryByURL) {
  URLCache cache(100000, 0, std::nullopt);
  cache.storeCachedResponse(responseWith("https://h.test/a", 100), requestFor("https://h.test/a"));
  auto found = cache.cachedResponse(requestFor("https://h.test/a"));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->data.size(), 100u);
  EXPECT_EQ(found->response.statusCode, 200);
  EXPECT_FALSE(cache.cachedResponse(requestFor("https://h.test/b")).has_value());
  EXPECT_GT(cache.currentMemoryUsage(), 100u);
  cache.removeCachedResponse(requestFor("https://h.test/a"));
  EXPECT_FALSE(cache.cachedResponse(requestFor("https://h.test/a")).has_value());
  EXPECT_EQ(cache.currentMemoryUsage(), 0u);
}

TEST(URLCache, EvictsTheLeastRecentlyUsedToStayWithinCapacity) {
  URLCache cache(20000, 0, std::nullopt);
  for (int i = 0; i < 30; ++i) {
    std::string url = "https://h.test/" + std::to_string(i);
    cache.storeCachedResponse(responseWith(url, 400), requestFor(url));
    // Keep the first entry in use.
    EXPECT_TRUE(cache.cachedResponse(requestFor("https://h.test/0")).has_value());
  }
  EXPECT_LE(cache.currentMemoryUsage(), 20000u);
  EXPECT_TRUE(cache.cachedResponse(requestFor("https://h.test/0")).has_value());
  EXPECT_TRUE(cache.cachedResponse(requestFor("https://h.test/29")).has_value());
  EXPECT_FALSE(cache.cachedResponse(requestFor("https://h.test/1")).has_value());
}

TEST(URLCache, DoesNotKeepAResponseLargerThanATwentiethOfItsCapacity) {
  URLCache cache(20000, 0, std::nullopt);
  cache.storeCachedResponse(responseWith("https://h.test/big", 2000),
                            requestFor("https://h.test/big"));
  EXPECT_FALSE(cache.cachedResponse(requestFor("https://h.test/big")).has_value());
}

TEST(URLCache, ADiskCacheOutlivesItsObjectAndHonoursItsCapacity) {
  testing::TemporaryDirectory directory;
  {
    URLCache cache(0, 100000, directory.path() / "Cache");
    cache.storeCachedResponse(responseWith("https://h.test/a", 3000, 'a'),
                              requestFor("https://h.test/a"));
    for (int i = 0; i < 60; ++i) {
      std::string url = "https://h.test/fill/" + std::to_string(i);
      cache.storeCachedResponse(responseWith(url, 3000), requestFor(url));
    }
    EXPECT_LE(cache.currentDiskUsage(), 100000u);
    EXPECT_FALSE(cache.cachedResponse(requestFor("https://h.test/a")).has_value());
    cache.storeCachedResponse(responseWith("https://h.test/b", 3000, 'b'),
                              requestFor("https://h.test/b"));
  }
  URLCache reopened(0, 100000, directory.path() / "Cache");
  auto found = reopened.cachedResponse(requestFor("https://h.test/b"));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->data, Data(3000, 'b'));
  EXPECT_EQ(found->response.valueForHTTPHeaderField("Content-Type"), "text/plain");
  EXPECT_LE(reopened.currentDiskUsage(), 100000u);
  reopened.removeAllCachedResponses();
  EXPECT_EQ(reopened.currentDiskUsage(), 0u);
  EXPECT_FALSE(reopened.cachedResponse(requestFor("https://h.test/b")).has_value());
}

TEST(URLCache, IgnoresFilesItCannotRead) {
  testing::TemporaryDirectory directory;
  std::filesystem::create_directories(directory.path() / "Cache");
  {
    std::ofstream junk(directory.path() / "Cache" / "0000000000000000.cache");
    junk << "not metadata";
  }
  URLCache cache(0, 100000, directory.path() / "Cache");
  EXPECT_EQ(cache.currentDiskUsage(), 0u);
  EXPECT_FALSE(std::filesystem::exists(directory.path() / "Cache" / "0000000000000000.cache"));
}

class CachingSessionTest : public ::testing::Test {
 protected:
  std::string fetch(URLRequest request, std::optional<Error>* failure = nullptr) {
    std::mutex mutex;
    std::optional<std::string> body;
    std::optional<Error> error;
    session
        ->dataTask(std::move(request),
                   [&](std::optional<Data> data, std::optional<HTTPURLResponse>,
                       std::optional<Error> reported) {
                     std::lock_guard lock(mutex);
                     error = reported;
                     body = data ? std::string(data->begin(), data->end()) : "";
                   })
        ->resume();
    EXPECT_TRUE(testing::waitUntil([&] {
      std::lock_guard lock(mutex);
      return body.has_value();
    }));
    std::lock_guard lock(mutex);
    if (failure) *failure = error;
    return body.value_or("");
  }

  testing::ScriptedServer server;
  std::shared_ptr<URLCache> cache = std::make_shared<URLCache>(1000000, 0, std::nullopt);
  std::shared_ptr<URLSession> session = [this] {
    URLSessionConfiguration configuration = URLSessionConfiguration::defaultConfiguration();
    configuration.urlCache = cache;
    return URLSession::make(configuration);
  }();
};

TEST_F(CachingSessionTest, AFreshResponseIsServedFromTheCache) {
  server.reply("GET", "/fresh",
               ScriptedResponse{200, "v1", "text/plain", {{"Cache-Control", "max-age=600"}}});
  EXPECT_EQ(fetch(requestFor(server.url("/fresh"))), "v1");
  EXPECT_EQ(fetch(requestFor(server.url("/fresh"))), "v1");
  EXPECT_EQ(server.requestCount(), 1u);
  URLRequest reload = requestFor(server.url("/fresh"));
  reload.setCachePolicy(URLRequestCachePolicy::reloadIgnoringLocalCacheData);
  fetch(reload);
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(CachingSessionTest, AStaleResponseWithAValidatorIsRevalidated) {
  server.reply("GET", "/tagged", [](const testing::RecordedRequest& request) {
    if (request.header("If-None-Match") == "\"v1\"") {
      return ScriptedResponse{304, "", "text/plain", {{"ETag", "\"v1\""}}};
    }
    return ScriptedResponse{
        200, "body-v1", "text/plain", {{"ETag", "\"v1\""}, {"Cache-Control", "no-cache"}}};
  });
  EXPECT_EQ(fetch(requestFor(server.url("/tagged"))), "body-v1");
  EXPECT_EQ(fetch(requestFor(server.url("/tagged"))), "body-v1");
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].header("If-None-Match"), "\"v1\"");
}

TEST_F(CachingSessionTest, NoStoreResponsesAndOtherMethodsAreNotCached) {
  server.reply(
      "GET", "/private",
      ScriptedResponse{200, "secret", "text/plain", {{"Cache-Control", "no-store, max-age=600"}}});
  fetch(requestFor(server.url("/private")));
  fetch(requestFor(server.url("/private")));
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_FALSE(cache->cachedResponse(requestFor(server.url("/private"))).has_value());
}

TEST_F(CachingSessionTest, CacheOnlyRequestsFailWhenNothingIsCached) {
  URLRequest request = requestFor(server.url("/never"));
  request.setCachePolicy(URLRequestCachePolicy::returnCacheDataDontLoad);
  std::optional<Error> failure;
  fetch(request, &failure);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, URLError::resourceUnavailable);
  EXPECT_EQ(server.requestCount(), 0u);

  cache->storeCachedResponse(responseWith(server.url("/never"), 3, 'z'), request);
  EXPECT_EQ(fetch(request), "zzz");
  EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
}  // namespace velmoradine
