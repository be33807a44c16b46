#include "velmoradine/platform/dispatch/dispatch_group.hpp"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine {
namespace {

using testing::waitUntil;

TEST(DispatchGroup, NotifiesOnceAfterTheLastLeave) {
  DispatchGroup group;
  std::atomic<int> notified = 0;
  std::atomic<int> work = 0;
  for (int i = 0; i < 8; ++i) {
    group.async(DispatchQueue::global(), [&] { work.fetch_add(1); });
  }
  group.notify(DispatchQueue::serial("notify"), [&] {
    EXPECT_EQ(work.load(), 8);
    notified.fetch_add(1);
  });
  ASSERT_TRUE(waitUntil([&] { return notified.load() == 1; }));
  EXPECT_EQ(notified.load(), 1);
}

TEST(DispatchGroup, NotifyOnAnEmptyGroupRunsAtOnce) {
  DispatchGroup group;
  std::atomic<bool> notified = false;
  group.notify(DispatchQueue::global(), [&] { notified = true; });
  EXPECT_TRUE(waitUntil([&] { return notified.load(); }));
}

TEST(DispatchGroup, NotifyRunsOnTheMainQueueWhenAsked) {
  DispatchGroup group;
  group.enter();
  bool onMain = false;
  bool notified = false;
  group.notify(DispatchQueue::main(), [&] {
    onMain = RunLoop::main().isCurrent();
    notified = true;
  });
  DispatchQueue::global()->async([group]() mutable { group.leave(); });
  ASSERT_TRUE(waitUntil([&] { return notified; }));
  EXPECT_TRUE(onMain);
}

TEST(DispatchGroup, WaitReturnsWhenEmptyAndTimesOutOtherwise) {
  DispatchGroup group;
  EXPECT_TRUE(group.waitFor(std::chrono::milliseconds(1)));
  group.enter();
  EXPECT_FALSE(group.waitFor(std::chrono::milliseconds(20)));
  DispatchQueue::global()->async([group]() mutable { group.leave(); });
  group.wait();
  EXPECT_TRUE(group.waitFor(std::chrono::milliseconds(1)));
}

TEST(DispatchGroupDeathTest, UnbalancedLeaveStopsTheProcess) {
  EXPECT_DEATH(DispatchGroup().leave(), "unbalanced call to DispatchGroup::leave");
}

}  // namespace
}  // namespace velmoradine
