#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/server/devserver_process.hpp"
#include "tests/support/wait.hpp"

namespace velmoradine::testing {
namespace {

// The test runs its own binary again with this variable set; that run starts
// a server, reports it and its scratch folder, and waits to be killed.
constexpr char kKilledRunVariable[] = "VELMORADINE_KILLED_TEST_RUN";
constexpr std::chrono::seconds kBound{30};

[[noreturn]] void serveUntilKilled() {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path());
  std::cout << "server-pid " << server.pid() << "\nscratch "
            << directory.path().parent_path().string() << std::endl;
  for (;;) pause();
}

struct KilledRunReport {
  pid_t serverPid = -1;
  std::filesystem::path scratch;
};

// Reads the killed run's output until it has reported both, within the bound.
KilledRunReport readReport(ChildProcess& run) {
  KilledRunReport report;
  auto deadline = std::chrono::steady_clock::now() + kBound;
  while (report.scratch.empty()) {
    auto line = run.readLine(deadline);
    if (!line) break;
    std::istringstream words(*line);
    std::string word;
    words >> word;
    if (word == "server-pid") words >> report.serverPid;
    if (word == "scratch" && words >> word) report.scratch = word;
  }
  return report;
}

std::string currentTestName() {
  auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(test->test_suite_name()) + "." + test->name();
}

TEST(DevServerProcess, DiesWithAKilledTestProcessThatLeavesNoScratchFolder) {
  if (std::getenv(kKilledRunVariable)) serveUntilKilled();
  TemporaryDirectory errors;
  ScopedEnvironmentVariable killedRun(kKilledRunVariable, "1");
  ChildProcess run({std::filesystem::read_symlink("/proc/self/exe").string(),
                    "--gtest_filter=" + currentTestName()},
                   errors.path() / "stderr");
  ASSERT_TRUE(run.running()) << run.startError();
  KilledRunReport report = readReport(run);
  ASSERT_GT(report.serverPid, 0) << "the run reported no server";
  ASSERT_FALSE(report.scratch.empty());
  // A pidfd names this very process even after it ends, so its end can be
  // awaited without a race. (Debian 12's <sys/pidfd.h> lacks C linkage.)
  int server = static_cast<int>(syscall(SYS_pidfd_open, report.serverPid, 0));
  ASSERT_GE(server, 0) << std::strerror(errno);

  run.stop(SIGKILL);
  pollfd ended{server, POLLIN, 0};
  const bool serverEnded =
      poll(&ended, 1, static_cast<int>(std::chrono::milliseconds(kBound).count())) == 1;
  if (!serverEnded) syscall(SYS_pidfd_send_signal, server, SIGKILL, nullptr, 0);
  close(server);
  EXPECT_TRUE(serverEnded) << "the server outlived its test process";
  EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(report.scratch); }, kBound))
      << report.scratch << " outlived its test process";
  std::error_code ignored;
  std::filesystem::remove_all(report.scratch, ignored);
}

}  // namespace
}  // namespace velmoradine::testing
