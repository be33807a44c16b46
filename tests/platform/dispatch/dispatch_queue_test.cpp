#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "tests/support/wait.hpp"

namespace velmoradine {
namespace {

using testing::ScopedManualClock;
using testing::waitUntil;

TEST(SerialQueue, RunsTasksOneAtATimeInOrder) {
  auto queue = DispatchQueue::serial("order");
  std::vector<int> seen;  // touched only by the queue's tasks
  std::atomic<int> running = 0;
  std::atomic<bool> overlapped = false;
  std::atomic<int> finished = 0;
  for (int i = 0; i < 1000; ++i) {
    queue->async([&, i] {
      if (running.fetch_add(1) != 0) overlapped = true;
      seen.push_back(i);
      running.fetch_sub(1);
      finished.fetch_add(1);
    });
  }
  ASSERT_TRUE(waitUntil([&] { return finished.load() == 1000; }));
  EXPECT_FALSE(overlapped.load());
  ASSERT_EQ(seen.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST(SerialQueue, KeepsOrderPerThreadWhenFedFromManyThreads) {
  auto queue = DispatchQueue::serial("fan-in");
  std::vector<std::pair<int, int>> seen;
  std::atomic<int> finished = 0;
  std::vector<std::thread> producers;
  for (int producer = 0; producer < 4; ++producer) {
    producers.emplace_back([&, producer] {
      for (int i = 0; i < 250; ++i) {
        queue->async([&, producer, i] {
          seen.emplace_back(producer, i);
          finished.fetch_add(1);
        });
      }
    });
  }
  for (auto& thread : producers) thread.join();
  ASSERT_TRUE(waitUntil([&] { return finished.load() == 1000; }));
  std::vector<int> next(4, 0);
  for (auto [producer, i] : seen) {
    EXPECT_EQ(i, next[static_cast<std::size_t>(producer)]);
    next[static_cast<std::size_t>(producer)] = i + 1;
  }
}

TEST(SerialQueue, CurrentNamesTheRunningQueue) {
  auto queue = DispatchQueue::serial("labelled");
  std::atomic<bool> matched = false;
  std::atomic<bool> done = false;
  queue->async([&] {
    matched = DispatchQueue::current() == queue.get() && queue->isCurrent() &&
              queue->label() == "labelled";
    done = true;
  });
  ASSERT_TRUE(waitUntil([&] { return done.load(); }));
  EXPECT_TRUE(matched.load());
  EXPECT_FALSE(queue->isCurrent());
}

TEST(SerialQueue, SyncWaitsForTheTaskAndSeesItsWrites) {
  auto queue = DispatchQueue::serial("sync");
  int value = 0;
  queue->async([&] { value = 1; });
  queue->sync([&] { value += 1; });
  EXPECT_EQ(value, 2);
}

TEST(SerialQueueDeathTest, SyncFromItsOwnTaskStopsTheProcess) {
  EXPECT_DEATH(
      {
        auto queue = DispatchQueue::serial("reentrant");
        queue->sync([&] { queue->sync([] {}); });
      },
      "sync called on queue \"reentrant\"");
}

TEST(SerialQueueDeathTest, AssertCurrentOffTheQueueStopsTheProcess) {
  EXPECT_DEATH(DispatchQueue::serial("contract")->assertCurrent(),
               "expected to run on queue \"contract\"");
}

// State shared with tasks that may still be unwinding after the test saw
// their last effect, so it must outlive the test body.
struct Rendezvous {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  bool open = false;
  std::atomic<int> finished = 0;
};

TEST(SerialQueue, BlockedTasksDoNotStarveOtherQueues) {
  // More blocked queues than cores: the pool must grow so the releasing task
  // still runs. The pool starts with idle workers, as after earlier work:
  // quick posts must not all count on the same waiting worker.
  std::atomic<int> warmed = 0;
  for (int i = 0; i < 4; ++i) DispatchQueue::global()->async([&] { ++warmed; });
  ASSERT_TRUE(waitUntil([&] { return warmed.load() == 4; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto state = std::make_shared<Rendezvous>();
  for (int i = 0; i < 6; ++i) {
    DispatchQueue::serial("blocked")->async([state] {
      {
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&] { return state->open; });
      }
      state->finished.fetch_add(1);
    });
  }
  DispatchQueue::serial("releaser")->async([state] {
    std::lock_guard lock(state->mutex);
    state->open = true;
    state->changed.notify_all();
  });
  EXPECT_TRUE(waitUntil([&] { return state->finished.load() == 6; }));
}

TEST(GlobalQueue, RunsTasksConcurrently) {
  auto state = std::make_shared<Rendezvous>();
  // Two tasks that each wait for the other can only finish side by side.
  for (int i = 0; i < 2; ++i) {
    DispatchQueue::global()->async([state] {
      {
        std::unique_lock lock(state->mutex);
        ++state->count;
        state->changed.notify_all();
        state->changed.wait(lock, [&] { return state->count == 2; });
      }
      state->finished.fetch_add(1);
    });
  }
  EXPECT_TRUE(waitUntil([&] { return state->finished.load() == 2; }));
}

TEST(AsyncAfter, FiresOnlyWhenTheManualClockReachesTheDelay) {
  ScopedManualClock time;
  auto queue = DispatchQueue::serial("delayed");
  std::atomic<int> fired = 0;
  queue->asyncAfter(std::chrono::seconds(5), [&] { fired.fetch_add(1); });
  time.advance(std::chrono::milliseconds(4999));
  queue->sync([] {});
  EXPECT_EQ(fired.load(), 0);
  time.advance(std::chrono::milliseconds(1));
  queue->sync([] {});
  EXPECT_EQ(fired.load(), 1);
  time.advance(std::chrono::hours(1));
  queue->sync([] {});
  EXPECT_EQ(fired.load(), 1);
}

TEST(AsyncAfter, DelaysFireInDeadlineOrder) {
  ScopedManualClock time;
  auto queue = DispatchQueue::serial("delays");
  std::vector<int> order;
  queue->asyncAfter(std::chrono::seconds(3), [&] { order.push_back(3); });
  queue->asyncAfter(std::chrono::seconds(1), [&] { order.push_back(1); });
  queue->asyncAfter(std::chrono::seconds(2), [&] { order.push_back(2); });
  time.advance(std::chrono::seconds(10));
  queue->sync([] {});
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(AsyncAfter, ChangingTheDateNeitherRushesNorHoldsTheDelay) {
  ScopedManualClock time;
  auto queue = DispatchQueue::serial("dated");
  std::atomic<int> fired = 0;
  const Clock::TimePoint today = time.clock().now();
  queue->asyncAfter(std::chrono::seconds(5), [&] { fired.fetch_add(1); });
  time.clock().setDate(today + std::chrono::hours(24));
  time.advance(std::chrono::seconds(4));
  queue->sync([] {});
  EXPECT_EQ(fired.load(), 0);
  time.clock().setDate(today - std::chrono::hours(24));
  time.advance(std::chrono::seconds(1));
  queue->sync([] {});
  EXPECT_EQ(fired.load(), 1);
}

TEST(SystemClock, MeasuresDelaysOnTheSteadyClock) {
  static_assert(std::is_same_v<Clock::Instant::clock, std::chrono::steady_clock>);
  const auto before = std::chrono::steady_clock::now();
  const Clock::Instant uptime = Clock::system()->uptime();
  EXPECT_LE(before, uptime);
  EXPECT_LE(uptime, std::chrono::steady_clock::now());
}

TEST(AsyncAfter, WorksWithTheSystemClock) {
  std::atomic<bool> fired = false;
  DispatchQueue::serial("real")->asyncAfter(
      std::chrono::milliseconds(5), [&] { fired = true; }, Clock::system());
  EXPECT_TRUE(waitUntil([&] { return fired.load(); }));
}

}  // namespace
}  // namespace velmoradine
