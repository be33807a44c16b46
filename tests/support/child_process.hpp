#pragma once

// Programs that tests and benchmarks start (the devserver, the command-line
// host) as child processes that never outlive the process that started them.

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmoradine::testing {

// A running program. The kernel kills it (SIGKILL) when the thread that
// started it ends, so a test binary that is killed or aborts takes it along:
// start it from the test's own thread, not from a worker that ends earlier.
// The object kills and reaps it if it is still running.
class ChildProcess {
 public:
  // Runs `arguments` (the program's path first) with standard input from
  // /dev/null, standard output into a pipe that readLine() and
  // readOutputToEnd() read, and standard error into the file `errorFile`.
  // running() is false when it cannot start.
  ChildProcess(const std::vector<std::string>& arguments, const std::filesystem::path& errorFile);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Why it could not start (empty when it did).
  const std::string& startError() const { return startError_; }
  // The next line of standard output (without its newline), or none when the
  // output ends or `deadline` passes first.
  std::optional<std::string> readLine(std::chrono::steady_clock::time_point deadline);
  // Everything left on standard output, up to its end.
  std::string readOutputToEnd();
  // Sends `signal` and waits for the program; gives its exit status (or 128 +
  // the signal that ended it), -1 when it was not running.
  int stop(int signal);
  // Waits for the program to end by itself; the status as for stop().
  int wait();
  // The status of a program that has already ended, reaped; none while it
  // runs (or was not running).
  std::optional<int> endedByItself();

 private:
  pid_t pid_ = -1;
  int outputFd_ = -1;
  std::string unread_;
  std::string startError_;
};

// What a program wrote and how it ended, after running to its end.
struct CompletedRun {
  int exitStatus = -1;
  std::string standardOutput;
  std::string standardError;
};
CompletedRun runToCompletion(const std::vector<std::string>& arguments);
// Runs one program through /bin/sh, for its quoting and redirections. The
// shell execs the program, so that it keeps the death signal.
CompletedRun runShellCommand(const std::string& command);

}  // namespace velmoradine::testing
