#include "velmoradine/share/video_content_future.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/share/share_manager_fakes.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

// Stands in for the UGC engine: keeps the registered callbacks and delivers
// the rendered video when told to.
class ManualFutureProvider final : public VideoContentFutureProvider {
 public:
  void renderingComplete(RenderingCompletion completion) override {
    std::lock_guard lock(mutex_);
    callbacks_.push_back(std::move(completion));
  }
  void startRendering() override { ++startCalls; }

  // Calls every registered callback; a provider that misbehaves keeps them
  // and may call them again.
  void deliver(const Result<SuccessfulRenderingResult>& result, bool keepCallbacks = false) {
    std::vector<RenderingCompletion> callbacks;
    {
      std::lock_guard lock(mutex_);
      callbacks.swap(callbacks_);
    }
    for (auto& callback : callbacks) callback(result);
    if (!keepCallbacks) return;
    std::lock_guard lock(mutex_);
    for (auto& callback : callbacks) callbacks_.push_back(std::move(callback));
  }
  std::size_t registered() {
    std::lock_guard lock(mutex_);
    return callbacks_.size();
  }

  std::atomic<int> startCalls = 0;

 private:
  std::mutex mutex_;
  std::vector<RenderingCompletion> callbacks_;
};

class VideoContentFutureTest : public ::testing::Test {
 protected:
  void TearDown() override { render_->forget(); }
  void SetUp() override { std::ofstream(video_, std::ios::binary) << "rendered"; }

  std::shared_ptr<VideoContentFuture> make(VideoContentFuture::Completion completion = nullptr) {
    return VideoContentFuture::make(provider_, "Scene", providers(), std::move(completion));
  }
  VideoContentProviders providers() { return {datastore_, {network_, network_, render_}}; }

  testing::TemporaryDirectory directory_;
  std::filesystem::path video_ = directory_.path() / "rendered.mp4";
  std::shared_ptr<ManualFutureProvider> provider_ = std::make_shared<ManualFutureProvider>();
  std::shared_ptr<ApplicationDatastore> datastore_ = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<testing::RecordingNetwork> network_ =
      std::make_shared<testing::RecordingNetwork>();
  std::shared_ptr<testing::RecordingRender> render_ = std::make_shared<testing::RecordingRender>();
};

TEST_F(VideoContentFutureTest, RegistersWithTheProviderWithoutStartingItSeparately) {
  auto future = make();
  EXPECT_EQ(provider_->registered(), 1u);
  EXPECT_EQ(provider_->startCalls, 0);
  EXPECT_FALSE(future->videoContentResult().has_value());
  EXPECT_TRUE(render_->requested.empty());
}

TEST_F(VideoContentFutureTest, ARenderedVideoBecomesContentWhoseUploadHasStarted) {
  std::vector<std::string> calls;
  auto future = make([&](VideoContentFuture::VideoContentResult result) {
    ASSERT_TRUE(result.has_value());
    calls.push_back("first " + (*result)->title());
  });
  future->addCompletion([&](VideoContentFuture::VideoContentResult result) {
    ASSERT_TRUE(result.has_value());
    calls.push_back("second " + (*result)->videoURL().path());
  });
  provider_->deliver(SuccessfulRenderingResult{video_});
  EXPECT_EQ(calls, (std::vector<std::string>{"first Scene", "second " + video_.string()}));
  auto content = future->videoContentResult()->value();
  EXPECT_EQ(*content->rawStrategy()->data(), Data({'r', 'e', 'n', 'd', 'e', 'r', 'e', 'd'}));
  ASSERT_EQ(render_->requested.size(), 1u);
  EXPECT_EQ(render_->requested[0], video_);
}

TEST_F(VideoContentFutureTest, EveryCompletionReceivesTheRenderingError) {
  int failures = 0;
  auto future = make([&](VideoContentFuture::VideoContentResult result) {
    if (!result && result.error() == UGCError::exportFailedFatally) ++failures;
  });
  future->addCompletion([&](VideoContentFuture::VideoContentResult result) {
    if (!result && result.error() == UGCError::exportFailedFatally) ++failures;
  });
  provider_->deliver(std::unexpected(Error(UGCError::exportFailedFatally)));
  EXPECT_EQ(failures, 2);
  EXPECT_TRUE(render_->requested.empty());
}

TEST_F(VideoContentFutureTest, AnUnreadableRenderedFileGivesTheReadingErrorAndSendsNothing) {
  std::optional<Error> received;
  auto future = make([&](VideoContentFuture::VideoContentResult result) {
    if (!result) received = result.error();
  });
  provider_->deliver(SuccessfulRenderingResult{directory_.path() / "missing.mp4"});
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(received->code(), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(network_->shareRequests.empty());
}

TEST_F(VideoContentFutureTest, ALateCompletionIsCalledAtOnceWithTheStoredContent) {
  auto future = make();
  provider_->deliver(SuccessfulRenderingResult{video_});
  std::shared_ptr<VideoContent> late;
  future->addCompletion([&](VideoContentFuture::VideoContentResult result) { late = *result; });
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late, future->videoContentResult()->value());
}

TEST_F(VideoContentFutureTest, ASecondDeliveryChangesNothingAndStartsNoSecondUpload) {
  int calls = 0;
  auto future = make([&](VideoContentFuture::VideoContentResult) { ++calls; });
  provider_->deliver(SuccessfulRenderingResult{video_}, true);
  auto first = future->videoContentResult()->value();
  provider_->deliver(std::unexpected(Error(UGCError::unknown)));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(future->videoContentResult()->value(), first);
  EXPECT_EQ(render_->requested.size(), 1u);
}

TEST_F(VideoContentFutureTest, TheProviderKeepsTheFutureAliveUntilTheOutcome) {
  bool called = false;
  std::weak_ptr<VideoContentFuture> weak =
      make([&](VideoContentFuture::VideoContentResult result) { called = result.has_value(); });
  ASSERT_FALSE(weak.expired());
  provider_->deliver(SuccessfulRenderingResult{video_});
  EXPECT_TRUE(called);
  EXPECT_TRUE(weak.expired());
}

TEST_F(VideoContentFutureTest, CompletionsAddedWhileTheOutcomeArrivesEachRunOnce) {
  for (int round = 0; round < 50; ++round) {
    auto provider = std::make_shared<ManualFutureProvider>();
    auto future = VideoContentFuture::make(provider, "Scene", providers());
    std::atomic<int> calls = 0;
    std::thread adder([&] {
      for (int i = 0; i < 20; ++i) {
        future->addCompletion([&](VideoContentFuture::VideoContentResult) { ++calls; });
      }
    });
    provider->deliver(SuccessfulRenderingResult{video_});
    adder.join();
    EXPECT_EQ(calls, 20) << "round " << round;
  }
}

}  // namespace
}  // namespace velmoradine
