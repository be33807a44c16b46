#include "velmoradine/platform/services/ui_application.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/services/system_services.hpp"

namespace velmoradine {
namespace {

// Answers from a thread of its own, before `open` returns.
class AnsweringElsewhere : public URLOpening {
 public:
  bool canOpenURL(const URL&) override { return true; }
  void open(const URL&, std::function<void(bool)> completion) override {
    std::thread([&completion] { completion(true); }).join();
  }
};

TEST(UIApplication, OpenCompletesOnTheMainQueueWhereverTheOpenerAnswers) {
  auto services = std::make_shared<SystemServices>(*SystemServices::desktop());
  services->urlOpener = std::make_shared<AnsweringElsewhere>();
  const auto previous = SystemServices::replace(services);
  std::optional<bool> completedOnMainThread;

  UIApplication::shared().open(*URL::parse("twitter://post"),
                               [&](bool) { completedOnMainThread = RunLoop::isMainThread(); });

  EXPECT_FALSE(completedOnMainThread.has_value());
  EXPECT_TRUE(testing::waitUntil([&] { return completedOnMainThread.has_value(); }));
  EXPECT_EQ(completedOnMainThread, true);
  SystemServices::replace(previous);
}

}  // namespace
}  // namespace velmoradine
