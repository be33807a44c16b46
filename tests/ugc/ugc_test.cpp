#include "velmoradine/ugc/ugc.hpp"

#include <gtest/gtest.h>

#include "tests/support/wait.hpp"
#include "tests/ugc/ugc_engine_fakes.hpp"

namespace velmoradine {
namespace {

using testing::RenderResult;

const SuccessfulRenderingResult kJoined{"/rendered/ugc.mp4"};

RenderResult failed(UGCError error) {
  return std::unexpected(Error(error));
}

SuccessfulRenderingResult sceneFile(std::size_t index) {
  return {"/rendered/scene-" + std::to_string(index) + ".mp4"};
}

class RecordingResultDelegate final : public UGCResultDelegate {
 public:
  void didFinish(RenderResult result) override {
    std::lock_guard lock(mutex);
    results.push_back(std::move(result));
  }
  std::mutex mutex;
  std::vector<RenderResult> results;  // guarded by mutex
};

// Collects what the UGC delivers, on its rendering queue.
struct Consumer {
  void operator()(RenderResult result) {
    std::lock_guard lock(mutex);
    onRenderingQueue = onRenderingQueue && DispatchQueue::current() == queue;
    results.push_back(std::move(result));
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return results.size();
  }
  const DispatchQueue* queue = nullptr;
  std::mutex mutex;
  std::vector<RenderResult> results;
  bool onRenderingQueue = true;
};

class UGCTest : public ::testing::Test {
 protected:
  // A UGC of `sceneCount` scenes whose renders give `sceneFile(index)`, or
  // fail for the indexes in `failing`.
  std::shared_ptr<UGC> makeUGC(std::size_t sceneCount, std::vector<std::size_t> failing = {}) {
    auto ugc = UGC::make("tag", "Weekend", {}, {joins, sceneRenderers(failing)});
    ugc->delegate = delegate;
    for (std::size_t index = 0; index < sceneCount; ++index) ugc->addScene("scene");
    return ugc;
  }

  std::shared_ptr<testing::ScriptedSceneRenderers> sceneRenderers(
      std::vector<std::size_t> failing) {
    return std::make_shared<testing::ScriptedSceneRenderers>(
        [this, failing](const UGCScene& scene, int) -> RenderResult {
          const auto scenes = ugc_->sceneConfigurations();
          const auto index = static_cast<std::size_t>(
              std::find_if(scenes.begin(), scenes.end(),
                           [&](const auto& candidate) { return candidate.get() == &scene; }) -
              scenes.begin());
          if (std::ranges::find(failing, index) != failing.end()) {
            return failed(UGCError::noDuration);
          }
          return sceneFile(index);
        });
  }

  void readyEverything(Consumer& consumer) {
    consumer.queue = ugc_->renderingDispathQueue().get();
    for (const auto& scene : ugc_->sceneConfigurations()) scene->ready();
    ugc_->ready(std::ref(consumer));
  }

  std::shared_ptr<testing::ScriptedRenderers> joins =
      std::make_shared<testing::ScriptedRenderers>([](int) { return RenderResult(kJoined); });
  std::shared_ptr<RecordingResultDelegate> delegate = std::make_shared<RecordingResultDelegate>();
  std::shared_ptr<UGC> ugc_;
};

TEST_F(UGCTest, AFailedSceneIsLeftOutAndTheOthersKeepTheirOrder) {
  ugc_ = makeUGC(3, {1});
  Consumer consumer;
  readyEverything(consumer);
  ASSERT_TRUE(testing::waitUntil([&] { return consumer.count() == 1; }));
  EXPECT_EQ(joins->joined(),
            (std::vector<std::vector<SuccessfulRenderingResult>>{{sceneFile(0), sceneFile(2)}}));
  EXPECT_EQ(testing::described(consumer.results), testing::described({kJoined}));
}

TEST_F(UGCTest, ReadyTwiceBeforeTheResultJoinsOnceAndAnswersBoth) {
  ugc_ = makeUGC(1);
  Consumer first;
  Consumer second;
  readyEverything(first);
  second.queue = first.queue;
  ugc_->ready(std::ref(second));
  ASSERT_TRUE(testing::waitUntil([&] { return first.count() == 1 && second.count() == 1; }));
  EXPECT_EQ(joins->constructions, 1);
  EXPECT_EQ(testing::described(second.results), testing::described({kJoined}));
  EXPECT_TRUE(first.onRenderingQueue && second.onRenderingQueue);
}

TEST_F(UGCTest, ReadyAfterTheResultAnswersAtOnceWithoutJoiningAgain) {
  ugc_ = makeUGC(1);
  Consumer first;
  readyEverything(first);
  ASSERT_TRUE(testing::waitUntil([&] { return first.count() == 1; }));
  Consumer late;
  late.queue = first.queue;
  ugc_->ready(std::ref(late));
  ASSERT_TRUE(testing::waitUntil([&] { return late.count() == 1; }));
  EXPECT_EQ(testing::described(late.results), testing::described({kJoined}));
  EXPECT_TRUE(late.onRenderingQueue);
  EXPECT_EQ(joins->constructions, 1);
}

// The share pipeline's view of the UGC: the future registers and waits.
TEST_F(UGCTest, AsAFutureVideoItDeliversTheJoinedVideo) {
  ugc_ = makeUGC(2);
  for (const auto& scene : ugc_->sceneConfigurations()) scene->ready();
  std::shared_ptr<VideoContentFutureProvider> provider = ugc_;
  Consumer consumer;
  consumer.queue = ugc_->renderingDispathQueue().get();
  provider->renderingComplete([&consumer](RenderResult result) { consumer(std::move(result)); });
  ASSERT_TRUE(testing::waitUntil([&] { return consumer.count() == 1; }));
  EXPECT_EQ(testing::described(consumer.results), testing::described({kJoined}));
  EXPECT_EQ(joins->joined(),
            (std::vector<std::vector<SuccessfulRenderingResult>>{{sceneFile(0), sceneFile(1)}}));
}

struct JoinRetryCase {
  const char* name;
  std::vector<RenderResult> attempts;  // the last one repeats
  std::optional<Error> constructionFailure;
  int expectedConstructions;
  int expectedExports;
  RenderResult expected;
  friend void PrintTo(const JoinRetryCase& scenario, std::ostream* out) { *out << scenario.name; }
};

class UGCJoinRetryTest : public UGCTest, public ::testing::WithParamInterface<JoinRetryCase> {};

TEST_P(UGCJoinRetryTest, RetriesOnlyRetryableJoinsAndDeliversOnce) {
  const JoinRetryCase& scenario = GetParam();
  joins = std::make_shared<testing::ScriptedRenderers>([&](int attempt) {
    return scenario.attempts[std::min<std::size_t>(attempt, scenario.attempts.size() - 1)];
  });
  joins->constructionFailure = scenario.constructionFailure;
  ugc_ = makeUGC(1);
  Consumer consumer;
  readyEverything(consumer);
  ASSERT_TRUE(testing::waitUntil([&] {
    std::lock_guard lock(delegate->mutex);
    return consumer.count() == 1 && delegate->results.size() == 1;
  }));
  // Anything delivered twice would be queued behind the first delivery.
  ugc_->renderingDispathQueue()->sync([] {});

  EXPECT_EQ(testing::described(consumer.results), testing::described({scenario.expected}));
  EXPECT_TRUE(consumer.onRenderingQueue);
  EXPECT_EQ(testing::described(delegate->results), testing::described({scenario.expected}));
  EXPECT_EQ(joins->constructions, scenario.expectedConstructions);
  EXPECT_EQ(joins->exports, scenario.expectedExports);
}

INSTANTIATE_TEST_SUITE_P(Attempts, UGCJoinRetryTest,
                         ::testing::Values(JoinRetryCase{"TwoFailuresThenSuccess",
                                                         {failed(UGCError::exportFailedOrCancelled),
                                                          failed(UGCError::exportFailedFatally),
                                                          kJoined},
                                                         std::nullopt,
                                                         3,
                                                         3,
                                                         kJoined},
                                           JoinRetryCase{"AlwaysFatal",
                                                         {failed(UGCError::exportFailedFatally)},
                                                         std::nullopt,
                                                         4,
                                                         4,
                                                         failed(UGCError::exportFailedFatally)},
                                           JoinRetryCase{"RetryableConstructionFailure",
                                                         {kJoined},
                                                         Error(UGCError::exportFailedFatally),
                                                         4,
                                                         0,
                                                         failed(UGCError::exportFailedFatally)},
                                           JoinRetryCase{"FinalConstructionFailure",
                                                         {kJoined},
                                                         Error(UGCError::unknown),
                                                         1,
                                                         0,
                                                         failed(UGCError::unknown)}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmoradine
