#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "velmoradine/core/collection.hpp"
#include "velmoradine/core/once.hpp"

namespace velmoradine {
namespace {

TEST(Once, RunsTheBlockOnceAndRemembersItsValue) {
  int runs = 0;
  Once<std::string, int> cell([&](const std::string& input) -> std::optional<int> {
    ++runs;
    return static_cast<int>(input.size());
  });
  EXPECT_EQ(cell.once("abc", 0), 3);
  EXPECT_EQ(cell.once("abcdef", 0), 3);
  EXPECT_EQ(runs, 1);
}

TEST(Once, RemembersTheDefaultWhenTheBlockGivesNothing) {
  int runs = 0;
  Once<int, std::string> cell([&](const int&) -> std::optional<std::string> {
    ++runs;
    return std::nullopt;
  });
  EXPECT_EQ(cell.once(1, "first default"), "first default");
  EXPECT_EQ(cell.once(2, "another default"), "first default");
  EXPECT_EQ(runs, 1);
}

TEST(Once, ConcurrentFirstCallsRunTheBlockOnce) {
  std::atomic<int> runs = 0;
  Once<int, int> cell([&](const int& input) -> std::optional<int> {
    runs.fetch_add(1);
    return input;
  });
  std::vector<std::thread> threads;
  std::array<int, 8> results{};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { results[static_cast<std::size_t>(i)] = cell.once(i, -1); });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(runs.load(), 1);
  for (int result : results) EXPECT_EQ(result, results[0]);
}

TEST(SafeAt, GivesNothingOutsideTheBounds) {
  std::vector<int> values{10, 20};
  EXPECT_EQ(safeAt(values, 0), 10);
  EXPECT_EQ(safeAt(values, 1), 20);
  EXPECT_EQ(safeAt(values, 2), std::nullopt);
  EXPECT_EQ(safeAt(values, -1), std::nullopt);
  EXPECT_EQ(safeAt(std::vector<int>{}, 0), std::nullopt);
}

}  // namespace
}  // namespace velmoradine
