#include "velmoradine/platform/dispatch/notification_center.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/support/wait.hpp"

namespace velmoradine {
namespace {

TEST(NotificationCenter, DeliversMatchingNamesInRegistrationOrder) {
  NotificationCenter center;
  std::vector<std::string> seen;
  center.addObserver("a", [&](const Notification&) { seen.push_back("first"); });
  center.addObserver("b", [&](const Notification&) { seen.push_back("other"); });
  center.addObserver("a", [&](const Notification&) { seen.push_back("second"); });
  center.post("a");
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
}

TEST(NotificationCenter, SenderFilterAndRemovalByObserver) {
  NotificationCenter center;
  int sender = 0;
  int other = 0;
  int observer = 0;
  int filtered = 0;
  int unfiltered = 0;
  center.addObserver(&observer, "n", &sender, nullptr, [&](const Notification&) { ++filtered; });
  center.addObserver(&observer, "m", nullptr, nullptr, [&](const Notification&) { ++unfiltered; });
  center.post("n", &other);
  center.post("n", &sender);
  EXPECT_EQ(filtered, 1);
  center.removeObserver(&observer, std::string("n"));
  center.post("n", &sender);
  center.post("m");
  EXPECT_EQ(filtered, 1);
  EXPECT_EQ(unfiltered, 1);
  center.removeObserver(&observer);
  EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, ObserverRemovedByAnEarlierBlockIsSkipped) {
  NotificationCenter center;
  int later = 0;
  NotificationCenter::ObserverToken second = 0;
  center.addObserver("n", [&](const Notification&) { center.removeObserver(second); });
  second = center.addObserver("n", [&](const Notification&) { ++later; });
  center.post("n");
  EXPECT_EQ(later, 0);
}

TEST(NotificationCenter, ObserverWithAQueueRunsThere) {
  NotificationCenter center;
  auto queue = DispatchQueue::serial("observer");
  std::atomic<bool> onQueue = false;
  std::atomic<bool> done = false;
  center.addObserver(nullptr, "n", nullptr, queue, [&](const Notification& notification) {
    onQueue = queue->isCurrent() && notification.name == "n";
    done = true;
  });
  center.post("n");
  ASSERT_TRUE(testing::waitUntil([&] { return done.load(); }));
  EXPECT_TRUE(onQueue.load());
}

}  // namespace
}  // namespace velmoradine
