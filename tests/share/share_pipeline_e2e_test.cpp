// The share pipeline against the real devserver on loopback: the kit's own
// network client, renderer and storage uploads, nothing substituted.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/server/devserver_process.hpp"
#include "tests/share/share_manager_fakes.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/video_writer.hpp"
#include "velmoradine/share/render.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

using testing::DevServerProcess;
using testing::pathAndQuery;
using testing::waitUntil;

// A short real video: frames of changing grey.
void writeSampleVideo(const std::filesystem::path& path) {
  VideoEncoderSettings settings;
  settings.width = 160;
  settings.height = 120;
  auto writer = VideoWriter::create(path, settings).value();
  Bitmap frame(settings.width, settings.height);
  for (int index = 0; index < 15; ++index) {
    for (int y = 0; y < frame.height(); ++y) {
      for (int x = 0; x < frame.width(); ++x) {
        auto grey = static_cast<std::uint32_t>((index * 16 + x) & 0xFF);
        frame.row(y)[x] = 0xFF000000u | grey << 16 | grey << 8 | grey;
      }
    }
    ASSERT_TRUE(writer->append(frame).has_value());
  }
  ASSERT_TRUE(writer->finish().has_value());
}

std::string fileContents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class SharePipelineEndToEnd : public ::testing::Test {
 protected:
  void TearDown() override { idleRender_->forget(); }

  void start(std::vector<std::string> extraArguments = {}) {
    std::vector<std::string> arguments{"--api-key", "e2e-key", "--app-slug", "e2e-app"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    server_ = std::make_unique<DevServerProcess>(serverDirectory_.path(), arguments);
    ASSERT_TRUE(server_->running());
    auto authentication = std::make_shared<AuthenticationDatastore>();
    authentication->setApiKey("e2e-key");
    network_ = std::make_shared<Network>(Network::defaultURLSession(), authentication,
                                         std::make_shared<ContribDatastore>(),
                                         *URL::parse(server_->baseURL() + "v1/api/sdk/"),
                                         *URL::parse(server_->baseURL() + "v1/events"));
    writeSampleVideo(video_);
  }

  std::shared_ptr<VideoContent> share() {
    VideoContentProviders providers{std::make_shared<ApplicationDatastore>(),
                                    ShareManagerProviders{network_, network_, Render::make()}};
    return VideoContent::create(URL::fileURL(video_), "End to end", providers).value();
  }

  // A manager of the real pipeline whose reports `delegate` records. The
  // content it serves runs its own manager with a renderer that never
  // answers, so only the observed pipeline talks to the server.
  std::shared_ptr<ShareManagerVideo> observedManager(
      const std::shared_ptr<testing::RecordingDelegate>& delegate) {
    observedContent_ =
        VideoContent::create(
            URL::fileURL(video_), "Observed",
            VideoContentProviders{std::make_shared<ApplicationDatastore>(),
                                  ShareManagerProviders{network_, network_, idleRender_}})
            .value();
    auto manager = ShareManagerVideo::create(
        *observedContent_, delegate, ShareManagerProviders{network_, network_, Render::make()});
    manager->begin();
    return manager;
  }

  // Waits until the share is live, as the content's link shows.
  static bool waitForLink(const std::shared_ptr<VideoContent>& content) {
    return waitUntil([&] { return content->linkPreviewAvailable(); }, std::chrono::seconds(30));
  }

  testing::TemporaryDirectory serverDirectory_;
  testing::TemporaryDirectory files_;
  testing::TemporaryMainBundle bundle_;
  std::filesystem::path video_ = files_.path() / "clip.mp4";
  std::unique_ptr<DevServerProcess> server_;
  std::shared_ptr<Network> network_;
  std::shared_ptr<VideoContent> observedContent_;
  std::shared_ptr<testing::RecordingRender> idleRender_ =
      std::make_shared<testing::RecordingRender>();
};

TEST_F(SharePipelineEndToEnd, ShareGoesLiveAndItsPageServesTheExactBytes) {
  start();
  auto content = share();
  ASSERT_TRUE(waitForLink(content));
  std::string link = content->linkPreviewStrategy()->link();
  EXPECT_EQ(content->text(), "End to end " + link);

  httplib::Client client = server_->client();
  auto page = client.Get(pathAndQuery(link));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<video"), std::string::npos);
  auto video = client.Get(pathAndQuery(link) + "/video");
  ASSERT_TRUE(video);
  EXPECT_EQ(video->status, 200);
  EXPECT_EQ(video->body, fileContents(video_));
}

TEST_F(SharePipelineEndToEnd, CleanupWithoutTheLinkDeletesTheShare) {
  start();
  auto content = share();
  ASSERT_TRUE(waitForLink(content));
  std::string link = content->linkPreviewStrategy()->link();
  content->cleanupContent({});
  httplib::Client client = server_->client();
  ASSERT_TRUE(waitUntil([&] {
    auto page = client.Get(pathAndQuery(link));
    return page && page->status == 404;
  }));
  // The deletion's reply reaches the content after the server has acted.
  EXPECT_TRUE(waitUntil([&] { return !content->linkPreviewAvailable(); }));
}

TEST_F(SharePipelineEndToEnd, RejectedStorageUploadIsReportedAndTheLinkNeverWorks) {
  start({"--fault-route", "/v1/storage/*", "--fault-status", "500", "--fault-rate", "1"});
  auto delegate = std::make_shared<testing::RecordingDelegate>();
  auto manager = observedManager(delegate);
  ASSERT_TRUE(waitUntil([&] { return delegate->calls().size() >= 5; }, std::chrono::seconds(30)));
  auto calls = delegate->calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].rfind("rendered ", 0), 0u);
  EXPECT_EQ(calls[1].rfind("link ", 0), 0u);
  EXPECT_EQ(calls[2], "confidence 1");
  std::string unknown = Error(Network::Error::unknown).localizedDescription();
  for (std::size_t i = 3; i < calls.size(); ++i) EXPECT_EQ(calls[i], "complete " + unknown);
  auto page = server_->client().Get(pathAndQuery(calls[1].substr(5)));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 404);
}

TEST_F(SharePipelineEndToEnd, ServerThatIsDownGivesOneTransportErrorReport) {
  start();
  server_->stop();
  auto delegate = std::make_shared<testing::RecordingDelegate>();
  auto manager = observedManager(delegate);
  ASSERT_TRUE(waitUntil([&] { return delegate->calls().size() == 2; }, std::chrono::seconds(30)));
  auto calls = delegate->calls();
  EXPECT_EQ(calls[0].rfind("rendered ", 0), 0u);
  EXPECT_EQ(calls[1].rfind("complete ", 0), 0u);
  EXPECT_NE(calls[1], "complete");
}

}  // namespace
}  // namespace velmoradine
