#include "velmoradine/share/share_manager_video.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <latch>
#include <thread>

#include "tests/share/share_manager_fakes.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

using testing::RecordingDelegate;
using testing::RecordingNetwork;
using testing::RecordingRender;

ThumbnailAndVideo rendered(std::size_t thumbnailSize, std::size_t videoSize) {
  return {Data(thumbnailSize, 1), Data(videoSize, 2), std::nullopt};
}

class ShareManagerVideoTest : public ::testing::Test {
 protected:
  void TearDown() override { render_->forget(); }
  void SetUp() override {
    std::ofstream(directory_.path() / "clip.mp4") << "not really a video";
    providers_ = ShareManagerProviders{network_, network_, render_};
    content_ = VideoContent::create(URL::fileURL(directory_.path() / "clip.mp4"), "Title",
                                    VideoContentProviders{datastore_, providers_})
                   .value();
    manager_ = ShareManagerVideo::create(*content_, delegate_, providers_);
  }

  void renderSucceeds(std::size_t videoSize = 1000, std::size_t thumbnailSize = 200) {
    render_->answer(rendered(thumbnailSize, videoSize));
  }

  testing::TemporaryDirectory directory_;
  std::shared_ptr<ApplicationDatastore> datastore_ = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<RecordingNetwork> network_ = std::make_shared<RecordingNetwork>();
  std::shared_ptr<RecordingRender> render_ = std::make_shared<RecordingRender>();
  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
  ShareManagerProviders providers_;
  std::shared_ptr<VideoContent> content_;
  std::shared_ptr<ShareManagerVideo> manager_;
};

TEST_F(ShareManagerVideoTest, SuccessfulRunReportsInOrderAndLogsEveryStep) {
  console::Capture capture;
  manager_->begin();
  renderSucceeds();
  EXPECT_EQ(delegate_->calls(),
            (std::vector<std::string>{"rendered 1000", "link https://link.test/s/abc",
                                      "confidence 1", "confidence 5", "complete"}));
  EXPECT_EQ(network_->uploadedPlans, (std::vector<std::string>{"https://storage.test/preview",
                                                               "https://storage.test/video"}));
  EXPECT_EQ(network_->uploadedSizes, (std::vector<std::size_t>{200, 1000}));
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                 "[Velmoradine] [VideoManager render] success",
                                 "[Velmoradine] [VideoManager uploadPlan] success",
                                 "[Velmoradine] [VideoManager upload] success previewImage",
                                 "[Velmoradine] [VideoManager activate] success previewImage",
                                 "[Velmoradine] [VideoManager upload] success videoContent",
                                 "[Velmoradine] [VideoManager activate] success videoContent",
                             }));
}

TEST_F(ShareManagerVideoTest, ShareRequestDescribesBothFiles) {
  manager_->begin();
  renderSucceeds(1000, 200);
  ASSERT_EQ(network_->shareRequests.size(), 1u);
  const ShareRequest& request = network_->shareRequests[0];
  EXPECT_EQ(request.video_content.byte_size, 1000);
  EXPECT_EQ(request.video_content.content_type, "video/mp4");
  EXPECT_EQ(request.video_content.checksum, md5Base64(Data(1000, 2)).value());
  EXPECT_EQ(request.preview_image.byte_size, 200);
  EXPECT_EQ(request.preview_image.content_type, "image/jpeg");
  EXPECT_EQ(request.shareable.title, "Title");
  EXPECT_EQ(request.shareable.shareable_type, "video");
}

TEST_F(ShareManagerVideoTest, ADigestTheRendererTookIsUsedWithoutHashingAgain) {
  manager_->begin();
  ThumbnailAndVideo result{Data(20, 1), Data(300, 2), "digest-from-the-renderer"};
  render_->answer(std::move(result));
  ASSERT_EQ(network_->shareRequests.size(), 1u);
  EXPECT_EQ(network_->shareRequests[0].video_content.checksum, "digest-from-the-renderer");
  EXPECT_EQ(network_->shareRequests[0].video_content.byte_size, 300);
  EXPECT_EQ(network_->shareRequests[0].preview_image.checksum, md5Base64(Data(20, 1)).value());
}

TEST_F(ShareManagerVideoTest, ActivationsCarryOneFlagEachAndTheToken) {
  manager_->begin();
  renderSucceeds();
  ASSERT_EQ(network_->activations.size(), 2u);
  EXPECT_EQ(network_->activations[0], (ActivateRequest{false, true, "token-1"}));
  EXPECT_EQ(network_->activations[1], (ActivateRequest{true, false, "token-1"}));
}

TEST_F(ShareManagerVideoTest, RenderFailureSendsNothingAndReportsOnce) {
  console::Capture capture;
  manager_->begin();
  render_->answer(failure(Error::posix(EIO)));
  EXPECT_TRUE(network_->shareRequests.empty());
  EXPECT_EQ(delegate_->calls(),
            std::vector<std::string>{"complete " + Error::posix(EIO).localizedDescription()});
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{"[Velmoradine] [VideoManager render] failure - " +
                                     Error::posix(EIO).localizedDescription()});
}

TEST_F(ShareManagerVideoTest, AVideoThatShrinksBeforeItsDigestIsNeverShared) {
  const auto path = directory_.path() / "shrinking.mp4";
  std::ofstream(path, std::ios::binary) << std::string(100000, 'v');
  auto video = viewContents(path);
  ASSERT_TRUE(video);
  std::filesystem::resize_file(path, 10);
  manager_->begin();
  render_->answer(ThumbnailAndVideo{Data(200, 1), std::move(*video), std::nullopt});
  EXPECT_TRUE(network_->shareRequests.empty());
  auto calls = delegate_->calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_THAT(calls.back(), ::testing::StartsWith("complete "));
}

TEST_F(ShareManagerVideoTest, ShareCreationFailureIsLoggedAndReported) {
  network_->shareError = Error::posix(ECONNREFUSED);
  console::Capture capture;
  manager_->begin();
  renderSucceeds();
  EXPECT_TRUE(network_->uploadedPlans.empty());
  EXPECT_TRUE(capture.contains("[Velmoradine] [VideoManager uploadPlan] failure - " +
                               Error::posix(ECONNREFUSED).localizedDescription()));
  EXPECT_EQ(delegate_->calls().back(),
            "complete " + Error::posix(ECONNREFUSED).localizedDescription());
}

TEST_F(ShareManagerVideoTest, FailedVideoUploadStillActivatesThePreviewButNeverSucceeds) {
  network_->videoUploadError = Error::posix(EPIPE);
  console::Capture capture;
  manager_->begin();
  renderSucceeds();
  ASSERT_EQ(network_->activations.size(), 1u);
  EXPECT_TRUE(network_->activations[0].preview_image);
  auto calls = delegate_->calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "confidence 5"), 0);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& c) { return c.starts_with("complete"); }),
            1);
  EXPECT_TRUE(capture.contains("[Velmoradine] [VideoManager upload] failure videoContent - " +
                               Error::posix(EPIPE).localizedDescription()));
}

TEST_F(ShareManagerVideoTest, CleanupKeepsTheShareWhenTheLinkWasUsed) {
  manager_->begin();
  renderSucceeds();
  manager_->cleanupContent({ShareStretegyType::raw, ShareStretegyType::linkPreview});
  EXPECT_TRUE(network_->deletions.empty());
  EXPECT_FALSE(manager_->destroyed());
}

TEST_F(ShareManagerVideoTest, CleanupWithoutTheLinkDeletesTheShare) {
  for (auto types : {std::vector<ShareStretegyType>{}, {ShareStretegyType::raw}}) {
    SCOPED_TRACE(types.size());
    network_->deletions.clear();
    auto manager = ShareManagerVideo::create(*content_, delegate_, providers_);
    manager->begin();
    renderSucceeds();
    console::Capture capture;
    manager->cleanupContent(types);
    ASSERT_EQ(network_->deletions.size(), 1u);
    EXPECT_EQ(network_->deletions[0].shareable_access_token, "token-1");
    EXPECT_EQ(delegate_->calls().back(), "complete Resource was destroyed.");
    EXPECT_TRUE(capture.contains("[Velmoradine] [VideoManager destroy] success"));
  }
}

TEST_F(ShareManagerVideoTest, DestroyWhileTheShareIsBeingCreatedDeletesTheLateShareSilently) {
  network_->holdShareRequest = true;
  manager_->begin();
  renderSucceeds();
  manager_->cleanupContent({});
  EXPECT_EQ(delegate_->calls().back(), "complete Resource was destroyed.");
  auto reportsBefore = delegate_->calls().size();
  network_->releaseShare();
  ASSERT_EQ(network_->deletions.size(), 1u);
  EXPECT_EQ(network_->deletions[0].shareable_access_token, "token-1");
  EXPECT_TRUE(network_->uploadedPlans.empty());
  EXPECT_EQ(delegate_->calls().size(), reportsBefore);
}

TEST_F(ShareManagerVideoTest, AFailedDeleteOfTheLateShareIsLoggedButNotReported) {
  network_->holdShareRequest = true;
  network_->deleteError = Error::posix(ECONNRESET);
  manager_->begin();
  renderSucceeds();
  manager_->cleanupContent({});
  auto reportsBefore = delegate_->calls().size();
  console::Capture capture;
  network_->releaseShare();
  ASSERT_EQ(network_->deletions.size(), 1u);
  EXPECT_TRUE(capture.contains("[Velmoradine] [VideoManager destroy] failure - " +
                               Error::posix(ECONNRESET).localizedDescription()));
  EXPECT_EQ(delegate_->calls().size(), reportsBefore);
}

TEST_F(ShareManagerVideoTest, SettlesOnlyOnceEveryStepItStartedHasBeenAnswered) {
  struct Step {
    const char* what;
    std::function<void(ShareManagerVideo&)> act;
    bool settled;
  };
  const Step render{"render", [this](auto&) { renderSucceeds(); }, true};
  const Step cleanup{"cleanup", [](auto& manager) { manager.cleanupContent({}); }, false};
  const Step deletion{"deletion", [this](auto&) { network_->releaseDeletion(); }, true};
  struct Case {
    const char* name;
    bool failUpload;
    bool holdShare;
    std::vector<Step> steps;
  } cases[] = {
      {"goes live", false, false, {render}},
      {"fails", true, false, {render}},
      {"deleted once live", false, false, {render, cleanup, deletion}},
      {"deleted once created late",
       false,
       true,
       {{render.what, render.act, false},
        cleanup,
        {"share", [this](auto&) { network_->releaseShare(); }, false},
        deletion}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    network_ = std::make_shared<RecordingNetwork>();
    network_->holdDeletion = true;
    network_->holdShareRequest = c.holdShare;
    if (c.failUpload) network_->videoUploadError = Error::posix(ECONNRESET);
    auto manager = ShareManagerVideo::create(*content_, delegate_, {network_, network_, render_});
    EXPECT_TRUE(manager->settled()) << "before begin";
    manager->begin();
    EXPECT_FALSE(manager->settled()) << "rendering";
    for (const Step& step : c.steps) {
      step.act(*manager);
      EXPECT_EQ(manager->settled(), step.settled) << "after " << step.what;
    }
  }
}

TEST_F(ShareManagerVideoTest, WithoutADelegateThePipelineStillRuns) {
  auto manager = ShareManagerVideo::create(*content_, {}, providers_);
  manager->begin();
  renderSucceeds();
  EXPECT_EQ(network_->activations.size(), 2u);
}

TEST_F(ShareManagerVideoTest, PendingWorkKeepsTheManagerAliveAndTheDelegateIsWeak) {
  std::weak_ptr<ShareManagerVideo> weakManager;
  {
    auto manager = ShareManagerVideo::create(*content_, delegate_, providers_);
    weakManager = manager;
    manager->begin();
  }
  EXPECT_FALSE(weakManager.expired());
  std::weak_ptr<RecordingDelegate> weakDelegate = delegate_;
  delegate_.reset();
  EXPECT_TRUE(weakDelegate.expired());
  renderSucceeds();
  EXPECT_EQ(network_->activations.size(), 2u);
  EXPECT_TRUE(weakManager.expired());
}

TEST_F(ShareManagerVideoTest, ConcurrentActivationsReportSuccessExactlyOnce) {
  // Two activation replies on two threads both record their flag before
  // either checks whether both are done: each then sees both flags set.
  struct ThreadedActivations final : NetworkShareProtocol {
    explicit ThreadedActivations(std::shared_ptr<RecordingNetwork> shares)
        : shares(std::move(shares)) {}
    void shareRequest(const ShareRequest& share,
                      NetworkCompletion<ShareResponse> completion) override {
      shares->shareRequest(share, std::move(completion));
    }
    void deleteShare(const DeleteShareRequest& request,
                     NetworkCompletion<EmptyResponse> completion) override {
      shares->deleteShare(request, std::move(completion));
    }
    void activateShare(const ActivateRequest&,
                       NetworkCompletion<EmptyResponse> completion) override {
      threads.emplace_back([reply = std::move(completion)]() mutable { reply(EmptyResponse{}); });
    }
    std::shared_ptr<RecordingNetwork> shares;
    std::vector<std::thread> threads;
  };
  auto delegate = std::make_shared<RecordingDelegate>();
  auto network = std::make_shared<RecordingNetwork>();
  auto activations = std::make_shared<ThreadedActivations>(network);
  auto render = std::make_shared<RecordingRender>();
  auto manager = ShareManagerVideo::create(*content_, delegate,
                                           ShareManagerProviders{activations, network, render});
  std::latch bothRecorded{2};
  manager->activationRecordedForTesting = [&](ShareManagerVideo::UploadKey) {
    bothRecorded.arrive_and_wait();
  };
  manager->begin();
  render->answer(rendered(2, 3));
  ASSERT_EQ(activations->threads.size(), 2u);
  for (auto& thread : activations->threads) thread.join();
  auto calls = delegate->calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "confidence 5"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "complete"), 1);
}

}  // namespace
}  // namespace velmoradine
