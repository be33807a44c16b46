#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/dispatch/timer.hpp"

namespace velmoradine {
namespace {

using testing::ScopedManualClock;
using testing::waitUntil;

TEST(MainQueue, RunsOnlyWhenTheMainLoopIsDriven) {
  std::atomic<bool> ran = false;
  DispatchQueue::main()->async([&] { ran = true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(RunLoop::main().drain(), 1u);
  EXPECT_TRUE(ran.load());
}

TEST(MainQueue, TasksFromOtherThreadsRunInOrderOnTheMainThread) {
  std::vector<int> order;
  bool allOnMain = true;
  std::thread producer([&] {
    for (int i = 0; i < 100; ++i) {
      DispatchQueue::main()->async([&, i] {
        allOnMain = allOnMain && RunLoop::isMainThread() &&
                    DispatchQueue::current() == DispatchQueue::main().get();
        order.push_back(i);
      });
    }
  });
  producer.join();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return order.size() == 100; }));
  EXPECT_TRUE(allOnMain);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(MainQueue, WorkPerformedFromATaskRunsAfterItInTheSameDrain) {
  std::vector<std::string> order;
  DispatchQueue::main()->async([&] {
    DispatchQueue::main()->async([&] { order.push_back("inner"); });
    order.push_back("outer");
  });
  EXPECT_EQ(RunLoop::main().drain(), 2u);
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "inner"}));
}

TEST(RunLoop, RunReturnsAfterStop) {
  int ran = 0;
  DispatchQueue::main()->async([&] { ++ran; });
  DispatchQueue::main()->async([&] { RunLoop::main().stop(); });
  RunLoop::main().run();
  EXPECT_EQ(ran, 1);
}

TEST(RunLoop, RunUntilGivesUpAfterItsTimeout) {
  EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, std::chrono::milliseconds(10)));
}

TEST(RunLoop, WakeUpHandlerHearsOfWorkForAHostLoop) {
  std::atomic<int> wakeUps = 0;
  RunLoop::main().setWakeUpHandler([&] { wakeUps.fetch_add(1); });
  std::thread([] { DispatchQueue::main()->async([] {}); }).join();
  RunLoop::main().setWakeUpHandler(nullptr);
  EXPECT_EQ(wakeUps.load(), 1);
  EXPECT_EQ(RunLoop::main().drain(), 1u);
}

TEST(RunLoopDeathTest, DrivingAnotherThreadsLoopStopsTheProcess) {
  EXPECT_DEATH(std::thread([] { RunLoop::main().drain(); }).join(),
               "driven from a thread other than its own");
}

TEST(Timer, RepeatingTimerFiresEveryIntervalOfTheManualClock) {
  ScopedManualClock time;
  int fired = 0;
  auto timer = Timer::scheduledTimer(std::chrono::seconds(120), true, [&](Timer&) { ++fired; });
  time.advance(std::chrono::seconds(119));
  RunLoop::main().drain();
  EXPECT_EQ(fired, 0);
  time.advance(std::chrono::seconds(1));
  RunLoop::main().drain();
  EXPECT_EQ(fired, 1);
  time.advance(std::chrono::seconds(360));
  RunLoop::main().drain();
  EXPECT_EQ(fired, 4);
  timer->invalidate();
  time.advance(std::chrono::seconds(600));
  RunLoop::main().drain();
  EXPECT_EQ(fired, 4);
  EXPECT_EQ(time.clock().pendingCount(), 0u);
}

TEST(Timer, OneShotTimerFiresOnceAndInvalidatesItself) {
  ScopedManualClock time;
  int fired = 0;
  auto timer = Timer::scheduledTimer(std::chrono::seconds(5), false, [&](Timer&) { ++fired; });
  time.advance(std::chrono::seconds(50));
  RunLoop::main().drain();
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer->isValid());
}

TEST(Timer, InvalidatingAfterTheClockFiredButBeforeTheLoopRanDropsTheFiring) {
  ScopedManualClock time;
  int fired = 0;
  auto timer = Timer::scheduledTimer(std::chrono::seconds(1), true, [&](Timer&) { ++fired; });
  time.advance(std::chrono::seconds(1));
  timer->invalidate();
  RunLoop::main().drain();
  EXPECT_EQ(fired, 0);
}

TEST(Timer, FiresOnTheLoopOfTheThreadThatScheduledIt) {
  ScopedManualClock time;
  std::atomic<bool> firedOnWorker = false;
  std::atomic<bool> scheduled = false;
  std::thread worker([&] {
    auto timer = Timer::scheduledTimer(std::chrono::seconds(1), false,
                                       [&](Timer&) { firedOnWorker = !RunLoop::isMainThread(); });
    scheduled = true;
    RunLoop::current().runUntil([&] { return firedOnWorker.load(); });
  });
  ASSERT_TRUE(waitUntil([&] { return scheduled.load(); }));
  time.advance(std::chrono::seconds(1));
  worker.join();
  EXPECT_TRUE(firedOnWorker.load());
}

}  // namespace
}  // namespace velmoradine
