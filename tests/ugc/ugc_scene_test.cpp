#include "velmoradine/ugc/ugc_scene.hpp"

#include <gtest/gtest.h>

#include "tests/support/temporary_directory.hpp"
#include "tests/support/wait.hpp"
#include "tests/ugc/ugc_engine_fakes.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine {
namespace {

using testing::RenderResult;

const SuccessfulRenderingResult kRendered{"/rendered/scene.mp4"};

RenderResult failed(UGCError error) {
  return std::unexpected(Error(error));
}

// What one `ready` delivered to its completion, and where.
struct Delivery {
  std::vector<RenderResult> results;
  bool allOnMain = true;
};

struct SceneRetryCase {
  const char* name;
  std::vector<RenderResult> attempts;  // the last one repeats
  std::optional<Error> constructionFailure;
  int expectedConstructions;
  int expectedExports;
  RenderResult expected;
  friend void PrintTo(const SceneRetryCase& scenario, std::ostream* out) { *out << scenario.name; }
};

class UGCSceneRetryTest : public ::testing::TestWithParam<SceneRetryCase> {};

TEST_P(UGCSceneRetryTest, RetriesOnlyRetryableExportsAndReportsOnce) {
  const SceneRetryCase& scenario = GetParam();
  auto renderers =
      std::make_shared<testing::ScriptedSceneRenderers>([&](const UGCScene&, int attempt) {
        return scenario.attempts[std::min<std::size_t>(attempt, scenario.attempts.size() - 1)];
      });
  renderers->constructionFailure = scenario.constructionFailure;
  auto delegate = std::make_shared<testing::RecordingSceneDelegate>();
  auto scene = UGCScene::make(delegate, UGCRenderSettings(), {}, renderers);

  Delivery delivery;
  scene->ready([&](RenderResult result) {
    delivery.allOnMain = delivery.allOnMain && RunLoop::main().isCurrent();
    delivery.results.push_back(std::move(result));
  });
  ASSERT_TRUE(testing::waitUntil([&] { return !delivery.results.empty(); }));
  // Anything reported twice would be queued by now behind the first report.
  RunLoop::main().drain();

  EXPECT_EQ(testing::described(delivery.results), testing::described({scenario.expected}));
  EXPECT_TRUE(delivery.allOnMain);
  EXPECT_EQ(delegate->readyCalls, 1);
  EXPECT_EQ(testing::described(delegate->results()), testing::described({scenario.expected}));
  EXPECT_EQ(renderers->constructions, scenario.expectedConstructions);
  EXPECT_EQ(renderers->exports, scenario.expectedExports);
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, UGCSceneRetryTest,
    ::testing::Values(SceneRetryCase{"TwoFailuresThenSuccess",
                                     {failed(UGCError::exportFailedOrCancelled),
                                      failed(UGCError::exportFailedOrCancelled), kRendered},
                                     std::nullopt,
                                     3,
                                     3,
                                     kRendered},
                      SceneRetryCase{"AlwaysFatal",
                                     {failed(UGCError::exportFailedFatally)},
                                     std::nullopt,
                                     4,
                                     4,
                                     failed(UGCError::exportFailedFatally)},
                      SceneRetryCase{"NoDurationIsFinal",
                                     {failed(UGCError::noDuration)},
                                     std::nullopt,
                                     1,
                                     1,
                                     failed(UGCError::noDuration)},
                      SceneRetryCase{
                          "ConstructionFailureIsFinal",
                          {kRendered},
                          Error(UGCError::imageError, "No url set for image"),
                          1,
                          0,
                          std::unexpected(Error(UGCError::imageError, "No url set for image"))},
                      SceneRetryCase{"ForeignConstructionErrorIsUnknown",
                                     {kRendered},
                                     Error::posix(EIO),
                                     1,
                                     0,
                                     failed(UGCError::unknown)}),
    [](const auto& info) { return std::string(info.param.name); });

class UGCSceneTest : public ::testing::Test {
 protected:
  testing::TemporaryDirectory home_;
  testing::ScopedEnvironmentVariable cache_{"XDG_CACHE_HOME", (home_.path() / "cache").string()};
  testing::ScopedEnvironmentVariable data_{"XDG_DATA_HOME", (home_.path() / "data").string()};
  std::shared_ptr<testing::ScriptedSceneRenderers> renderers_ =
      std::make_shared<testing::ScriptedSceneRenderers>(
          [](const UGCScene&, int) { return RenderResult(kRendered); });
  std::shared_ptr<testing::RecordingSceneDelegate> delegate_ =
      std::make_shared<testing::RecordingSceneDelegate>();
};

TEST_F(UGCSceneTest, ReadyTwiceRendersTwice) {
  auto scene = UGCScene::make(delegate_, UGCRenderSettings(), {}, renderers_);
  int completions = 0;
  scene->ready([&](RenderResult) { ++completions; });
  scene->ready([&](RenderResult) { ++completions; });
  ASSERT_TRUE(testing::waitUntil([&] { return completions == 2; }));
  EXPECT_EQ(delegate_->readyCalls, 2);
  EXPECT_EQ(delegate_->results().size(), 2u);
  EXPECT_EQ(renderers_->constructions, 2);
}

// Without a report the owning UGC would wait for this scene for ever.
TEST_F(UGCSceneTest, ALayerThatCannotGetReadyFailsTheSceneWithoutRendering) {
  auto scene = UGCScene::make(delegate_, UGCRenderSettings(), {}, renderers_);
  scene->textLayer(UGCTextFormat::create(), "Title")
      .videoLayer(UGCVideoFormat::create(), *URL::parse("http://127.0.0.1:1/missing.mp4"));
  std::optional<RenderResult> delivered;
  scene->ready([&](RenderResult result) { delivered = std::move(result); });
  ASSERT_TRUE(testing::waitUntil([&] { return delivered.has_value(); }));

  ASSERT_FALSE(delivered->has_value());
  EXPECT_EQ(delivered->error(), UGCError::videoError);
  EXPECT_FALSE(delivered->error().detail().empty());
  EXPECT_EQ(testing::described(delegate_->results()), testing::described({*delivered}));
  EXPECT_EQ(renderers_->constructions, 0);
}

}  // namespace
}  // namespace velmoradine
