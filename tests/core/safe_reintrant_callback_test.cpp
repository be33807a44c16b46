#include "velmoradine/core/safe_reintrant_callback.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "tests/support/wait.hpp"

namespace velmoradine {
namespace {

using testing::waitUntil;
using Callback = SafeReintrantCallback<std::string, int>;

// A loader that records its calls and answers when the test says so.
class ManualLoader final : public SafeReintrantCallbackLoader<std::string, Result<int>> {
 public:
  void fetch(const std::string& identifier, std::function<void(Result<int>)> completion) override {
    std::lock_guard lock(mutex_);
    identifiers_.push_back(identifier);
    completion_ = std::move(completion);
  }
  void answer(Result<int> result) {
    std::function<void(Result<int>)> completion;
    {
      std::lock_guard lock(mutex_);
      completion = completion_;
    }
    completion(std::move(result));
  }
  std::size_t calls() const {
    std::lock_guard lock(mutex_);
    return identifiers_.size();
  }
  std::vector<std::string> identifiers() const {
    std::lock_guard lock(mutex_);
    return identifiers_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> identifiers_;
  std::function<void(Result<int>)> completion_;
};

// Records completions in arrival order; touched only on the callback's queue.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> events;
  void add(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
  std::size_t size() {
    std::lock_guard lock(mutex);
    return events.size();
  }
};

TEST(SafeReintrantCallback, LoadsOnceAndAnswersWaitersInCallOrderOnItsQueue) {
  auto callback = Callback::create("https://example.com/a.png");
  auto loader = std::make_shared<ManualLoader>();
  callback->setLoader(loader);
  Recorder recorder;
  std::atomic<bool> allOnQueue = true;
  for (int i = 0; i < 3; ++i) {
    callback->fetch([&, i](const Result<int>& result) {
      allOnQueue = allOnQueue && callback->queue()->isCurrent();
      recorder.add(std::to_string(i) + ":" + std::to_string(*result));
    });
  }
  ASSERT_TRUE(waitUntil([&] { return loader->calls() == 1; }));
  callback->queue()->sync([] {});
  EXPECT_EQ(recorder.size(), 0u);
  loader->answer(7);
  ASSERT_TRUE(waitUntil([&] { return recorder.size() == 3; }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"0:7", "1:7", "2:7"}));
  EXPECT_TRUE(allOnQueue.load());
  EXPECT_EQ(loader->identifiers(), (std::vector<std::string>{"https://example.com/a.png"}));
  EXPECT_EQ(callback->queue()->label(), "ResourceResolutionQueue");
}

TEST(SafeReintrantCallback, LaterFetchesGetTheStoredResultWithoutLoading) {
  auto callback = Callback::create("id");
  auto loader = std::make_shared<ManualLoader>();
  callback->setLoader(loader);
  callback->fetch();  // no completion: still starts the load
  ASSERT_TRUE(waitUntil([&] { return loader->calls() == 1; }));
  loader->answer(5);
  std::atomic<int> value = 0;
  callback->fetch([&](const Result<int>& result) { value = *result; });
  ASSERT_TRUE(waitUntil([&] { return value.load() == 5; }));
  EXPECT_EQ(loader->calls(), 1u);
}

TEST(SafeReintrantCallback, FetchFromACompletionRunsAfterTheCurrentBatch) {
  auto callback = Callback::create("id");
  auto loader = std::make_shared<ManualLoader>();
  callback->setLoader(loader);
  Recorder recorder;
  callback->fetch([&](const Result<int>&) {
    recorder.add("first");
    callback->fetch([&](const Result<int>&) { recorder.add("nested"); });
  });
  callback->fetch([&](const Result<int>&) { recorder.add("second"); });
  ASSERT_TRUE(waitUntil([&] { return loader->calls() == 1; }));
  loader->answer(1);
  ASSERT_TRUE(waitUntil([&] { return recorder.size() == 3; }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"first", "second", "nested"}));
}

TEST(SafeReintrantCallback, AFailureIsStoredAndReplayed) {
  auto callback = Callback::create("id");
  auto loader = std::make_shared<ManualLoader>();
  callback->setLoader(loader);
  std::atomic<int> failures = 0;
  auto expectFailure = [&](const Result<int>& result) {
    if (!result && result.error() == Error::posix(EIO)) failures.fetch_add(1);
  };
  callback->fetch(expectFailure);
  ASSERT_TRUE(waitUntil([&] { return loader->calls() == 1; }));
  loader->answer(failure(Error::posix(EIO)));
  callback->fetch(expectFailure);
  ASSERT_TRUE(waitUntil([&] { return failures.load() == 2; }));
  EXPECT_EQ(loader->calls(), 1u);
}

TEST(SafeReintrantCallback, WithoutALoaderEveryCallerGetsTheKitError) {
  auto callback = Callback::create("id");
  std::atomic<int> answered = 0;
  auto expectKitError = [&](const Result<int>& result) {
    if (!result && result.error() == Error::domain("velmoradine", 1)) answered.fetch_add(1);
  };
  callback->fetch(expectKitError);
  callback->fetch(expectKitError);
  EXPECT_TRUE(waitUntil([&] { return answered.load() == 2; }));
}

TEST(SafeReintrantCallback, PendingWorkDoesNotKeepTheObjectAlive) {
  auto loader = std::make_shared<ManualLoader>();
  std::weak_ptr<Callback> weak;
  std::atomic<bool> called = false;
  {
    auto callback = Callback::create("id");
    weak = callback;
    callback->setLoader(loader);
    callback->fetch([&](const Result<int>&) { called = true; });
    ASSERT_TRUE(waitUntil([&] { return loader->calls() == 1; }));
  }
  EXPECT_TRUE(weak.expired());
  loader->answer(3);
  // The answer finds no object: nothing runs, nothing crashes.
  auto probe = DispatchQueue::serial("probe");
  probe->sync([] {});
  EXPECT_FALSE(called.load());
}

TEST(SafeReintrantCallbackLoaderDeathTest, BaseLoaderStopsTheProcess) {
  SafeReintrantCallbackLoader<std::string, Result<int>> base;
  EXPECT_DEATH(base.fetch("id", [](Result<int>) {}), "No method implemented for loading");
}

}  // namespace
}  // namespace velmoradine
