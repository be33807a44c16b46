#include "velmoradine/share/video_content.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/share/share_manager_fakes.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/share/content_helper.hpp"

namespace velmoradine {
namespace {

class VideoContentTest : public ::testing::Test {
 protected:
  void TearDown() override { render_->forget(); }
  void SetUp() override { std::ofstream(path_, std::ios::binary) << "video bytes"; }

  Result<std::shared_ptr<VideoContent>> make(const std::filesystem::path& path) {
    return VideoContent::create(URL::fileURL(path), "My clip",
                                VideoContentProviders{datastore_, {network_, network_, render_}});
  }

  testing::TemporaryDirectory directory_;
  std::filesystem::path path_ = directory_.path() / "clip.mp4";
  std::shared_ptr<ApplicationDatastore> datastore_ = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<testing::RecordingNetwork> network_ =
      std::make_shared<testing::RecordingNetwork>();
  std::shared_ptr<testing::RecordingRender> render_ = std::make_shared<testing::RecordingRender>();
};

TEST_F(VideoContentTest, MissingFileFailsWithTheReadingErrorAndStartsNothing) {
  auto content = make(directory_.path() / "absent.mp4");
  ASSERT_FALSE(content.has_value());
  EXPECT_EQ(content.error().code(), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(render_->requested.empty());
  EXPECT_TRUE(network_->shareRequests.empty());
}

TEST_F(VideoContentTest, DirectoryIsNotAReadableVideo) {
  auto content = make(directory_.path());
  ASSERT_FALSE(content.has_value());
  EXPECT_EQ(content.error().code(), std::errc::is_a_directory);
}

TEST_F(VideoContentTest, RightAfterCreationOnlyTheRawBytesAreAvailable) {
  auto content = make(path_).value();
  EXPECT_EQ(content->contentType(), ContentType::video);
  EXPECT_EQ(content->videoContent(), content);
  EXPECT_EQ(*content->rawStrategy()->data(),
            Data({'v', 'i', 'd', 'e', 'o', ' ', 'b', 'y', 't', 'e', 's'}));
  EXPECT_EQ(content->linkPreviewStrategy(), nullptr);
  EXPECT_EQ(content->text(), "My clip");
  ASSERT_EQ(render_->requested.size(), 1u);
  EXPECT_EQ(render_->requested[0], path_);
}

TEST_F(VideoContentTest, LinkIsAvailableOnlyAtSucceededConfidence) {
  auto content = make(path_).value();
  content->linkPreviewStrategyDidUpdate(
      std::make_shared<LinkPreviewShareStrategy>("https://l/s/1"));
  content->linkPreviewConfidenceDidUpdate(LinkPreviewConfidence::planReceived);
  EXPECT_FALSE(content->linkPreviewAvailable());
  content->linkPreviewConfidenceDidUpdate(LinkPreviewConfidence::succeeded);
  EXPECT_TRUE(content->linkPreviewAvailable());
  EXPECT_EQ(content->text(), "My clip https://l/s/1");
  content->shareManagerDidComplete(std::nullopt);
  EXPECT_TRUE(content->linkPreviewAvailable());
  EXPECT_EQ(content->pipelineError(), std::nullopt);
  content->shareManagerDidComplete(Error(ShareManagerVideo::Error::unknown));
  EXPECT_FALSE(content->linkPreviewAvailable());
  EXPECT_EQ(content->linkPreviewShareStrategyConfidence(), LinkPreviewConfidence::none);
  EXPECT_EQ(content->pipelineError(), Error(ShareManagerVideo::Error::unknown));
}

TEST_F(VideoContentTest, SucceededWithoutALinkStrategyIsNotAvailable) {
  auto content = make(path_).value();
  content->linkPreviewConfidenceDidUpdate(LinkPreviewConfidence::succeeded);
  EXPECT_FALSE(content->linkPreviewAvailable());
}

TEST_F(VideoContentTest, CtaLinkNeedsAValidStoredLink) {
  auto content = make(path_).value();
  EXPECT_EQ(content->ctaLink(), std::nullopt);
  datastore_->setApplication(ApplicationResponse{});
  EXPECT_EQ(content->ctaLink(), std::nullopt);
  ApplicationResponse settings;
  settings.cta_link = "";
  datastore_->setApplication(settings);
  EXPECT_EQ(content->ctaLink(), std::nullopt);
  settings.cta_link = "https://example.com/app-cta?ref=x";
  datastore_->setApplication(settings);
  EXPECT_EQ(content->ctaLink()->absoluteString(), "https://example.com/app-cta?ref=x");
}

TEST_F(VideoContentTest, FullPipelineThroughTheContent) {
  auto content = make(path_).value();
  render_->answer(ThumbnailAndVideo{Data(4, 1), *content->rawStrategy()->data(), std::nullopt});
  EXPECT_TRUE(content->linkPreviewAvailable());
  EXPECT_EQ(*content->renderedShareStrategy()->data(), *content->rawStrategy()->data());
  content->cleanupContent({ShareStretegyType::raw});
  EXPECT_EQ(network_->deletions.size(), 1u);
  EXPECT_FALSE(content->linkPreviewAvailable());
}

TEST(ShareEnumerations, ConversionsFromIntegers) {
  EXPECT_EQ(linkPreviewConfidence(4), std::nullopt);
  EXPECT_EQ(linkPreviewConfidence(5), LinkPreviewConfidence::succeeded);
  EXPECT_EQ(linkPreviewConfidence(-1), std::nullopt);
  EXPECT_LT(LinkPreviewConfidence::videoUploaded, LinkPreviewConfidence::succeeded);
  EXPECT_EQ(shareStrategy(3), ShareStrategy::linkPreview);
  EXPECT_EQ(shareStrategy(4), std::nullopt);
  EXPECT_EQ(rawValue(ContentType::video), "video");
}

TEST(ContentHelper, ReturnsAFreePathInTheCachesFolderAndKeepsTheFolder) {
  testing::TemporaryDirectory caches;
  setenv("XDG_CACHE_HOME", caches.path().c_str(), 1);
  auto first = ContentHelper::createFileURL("ABC", "mp4");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->filePath().filename(), "ABC.mp4");
  EXPECT_EQ(first->filePath().parent_path().filename(), "Velmoradine");
  std::ofstream(first->filePath()) << "old render";
  auto second = ContentHelper::createFileURL("ABC", "mp4");
  EXPECT_EQ(second, first);
  EXPECT_FALSE(std::filesystem::exists(first->filePath()));
  EXPECT_TRUE(std::filesystem::is_directory(first->filePath().parent_path()));
  unsetenv("XDG_CACHE_HOME");
}

TEST(ContentHelper, UnwritableCachesAreLoggedAndGiveNothing) {
  testing::TemporaryDirectory root;
  std::ofstream(root.path() / "file") << "x";
  setenv("XDG_CACHE_HOME", (root.path() / "file").c_str(), 1);
  console::Capture capture;
  EXPECT_EQ(ContentHelper::createFileURL("ABC", "mp4"), std::nullopt);
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{"[Velmoradine] [UGCGenerator] Cannot get cachesDirectoryUrl"});
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace velmoradine
