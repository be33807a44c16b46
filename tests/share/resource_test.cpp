#include "velmoradine/share/resource.hpp"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using testing::waitUntil;

// A loopback server with a few fixed routes, counting the requests it served.
class ResourceServer {
 public:
  ResourceServer() {
    server_.Get("/image.png", [this](const httplib::Request&, httplib::Response& response) {
      ++served_;
      response.set_content("png bytes", "image/png");
    });
    server_.Get("/noextension", [this](const httplib::Request&, httplib::Response& response) {
      ++served_;
      response.set_content("plain", "application/octet-stream");
    });
    server_.Get("/missing.png", [this](const httplib::Request&, httplib::Response& response) {
      ++served_;
      response.status = 404;
    });
    server_.Get("/busy.png", [this](const httplib::Request&, httplib::Response& response) {
      ++served_;
      response.status = 503;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~ResourceServer() {
    server_.stop();
    thread_.join();
  }
  URL url(const std::string& path) const {
    return *URL::parse("http://127.0.0.1:" + std::to_string(port_) + path);
  }
  int served() const { return served_.load(); }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<int> served_ = 0;
};

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CACHE_HOME", caches_.path().c_str(), 1);
    ResourceLoader::shared().setDocumentsDirectory(documents_.path() / "VelmoradineResources");
  }
  void TearDown() override { unsetenv("XDG_CACHE_HOME"); }

  Result<URL> load(const URL& url, std::optional<std::string> prefix = std::nullopt) {
    std::optional<Result<URL>> outcome;
    std::mutex mutex;
    ResourceLoader::shared().fetch(url, prefix, [&](Result<URL> result) {
      std::lock_guard lock(mutex);
      outcome = std::move(result);
    });
    EXPECT_TRUE(waitUntil([&] {
      std::lock_guard lock(mutex);
      return outcome.has_value();
    }));
    std::lock_guard lock(mutex);
    return outcome.value_or(failure(Error::posix(ETIMEDOUT)));
  }

  testing::TemporaryDirectory caches_;
  testing::TemporaryDirectory documents_;
  ResourceServer server_;
};

TEST_F(ResourceTest, DownloadIsStoredUnderTheDigestOfItsURL) {
  console::Capture capture;
  URL url = server_.url("/image.png");
  auto local = load(url);
  ASSERT_TRUE(local.has_value()) << local.error().localizedDescription();
  std::string digest =
      *hashed(std::string_view(url.absoluteString()), HashType::md5, HashOutputType::hex);
  EXPECT_EQ(local->filePath(), documents_.path() / "VelmoradineResources" / (digest + ".png"));
  std::ifstream file(local->filePath());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "png bytes");
  EXPECT_TRUE(capture.contains("[Velmoradine] Requesting url: " + url.absoluteString()));
  EXPECT_TRUE(capture.contains("[Velmoradine] [ResourceLoader] fetch Beginning"));
}

TEST_F(ResourceTest, PathWithoutAnExtensionEndsInADot) {
  auto local = load(server_.url("/noextension"));
  ASSERT_TRUE(local.has_value());
  std::string name = local->filePath().filename().string();
  EXPECT_EQ(name.size(), 33u);
  EXPECT_EQ(name.back(), '.');
}

TEST_F(ResourceTest, DirectoryPrefixIsOneMoreFolder) {
  auto local = load(server_.url("/image.png"), "clips");
  ASSERT_TRUE(local.has_value());
  EXPECT_EQ(local->filePath().parent_path(), documents_.path() / "VelmoradineResources" / "clips");
}

TEST_F(ResourceTest, ClientAndServerErrorsMapToTheirCases) {
  auto missing = load(server_.url("/missing.png"));
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), ResourceLoader::Error::notFound);
  EXPECT_EQ(missing.error().localizedDescription(), "Resource not found.");
  auto busy = load(server_.url("/busy.png"));
  ASSERT_FALSE(busy.has_value());
  EXPECT_EQ(busy.error(), ResourceLoader::Error::serverError);
  EXPECT_EQ(busy.error().localizedDescription(), "Server error");
}

TEST_F(ResourceTest, ConnectionRefusedPassesTheTransportErrorOn) {
  auto refused = load(*URL::parse("http://127.0.0.1:1/image.png"));
  ASSERT_FALSE(refused.has_value());
  EXPECT_NE(refused.error().domainName(), "Velmoradine.ResourceLoader");
}

TEST_F(ResourceTest, FileURLResolvesToItselfWithoutARequestOrALine) {
  URL file = URL::fileURL(documents_.path() / "local.mp4");
  auto resource = Resource::create(file);
  console::Capture capture;
  std::optional<Result<URL>> outcome;
  std::mutex mutex;
  resource->fetch([&](const Result<URL>& result) {
    std::lock_guard lock(mutex);
    outcome = result;
  });
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return outcome.has_value();
  }));
  EXPECT_EQ(outcome->value(), file);
  EXPECT_TRUE(capture.lines().empty());
  EXPECT_EQ(server_.served(), 0);
}

TEST_F(ResourceTest, ConcurrentFetchesOfOneResourceDownloadOnce) {
  auto resource = Resource::create(server_.url("/image.png"));
  std::mutex mutex;
  std::vector<URL> answers;
  for (int i = 0; i < 5; ++i) {
    std::thread([&] {
      resource->fetch([&](const Result<URL>& result) {
        std::lock_guard lock(mutex);
        answers.push_back(result.value());
      });
    }).join();
  }
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return answers.size() == 5;
  }));
  EXPECT_EQ(server_.served(), 1);
  for (const URL& answer : answers) EXPECT_EQ(answer, answers[0]);
}

TEST_F(ResourceTest, TwoResourcesOfOneURLDownloadTwiceAndEndAtOnePath) {
  URL url = server_.url("/image.png");
  std::mutex mutex;
  std::vector<URL> answers;
  auto first = Resource::create(url);
  auto second = Resource::create(url);
  for (auto& resource : {first, second}) {
    resource->fetch([&](const Result<URL>& result) {
      std::lock_guard lock(mutex);
      answers.push_back(result.value());
    });
    ASSERT_TRUE(waitUntil([&] {
      std::lock_guard lock(mutex);
      return answers.size() == (resource == first ? 1u : 2u);
    }));
  }
  EXPECT_EQ(answers[0], answers[1]);
  EXPECT_TRUE(std::filesystem::exists(answers[0].filePath()));
}

}  // namespace
}  // namespace velmoradine
