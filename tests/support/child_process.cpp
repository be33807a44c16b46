#include "tests/support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "tests/support/temporary_directory.hpp"

extern char** environ;

namespace velmoradine::testing {

namespace {

// A file descriptor closed with its object.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) close(fd_);
      fd_ = other.release();
    }
    return *this;
  }

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

struct Pipe {
  Descriptor readEnd;
  Descriptor writeEnd;
};

bool openPipe(Pipe& pipe) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  pipe.readEnd = Descriptor(fds[0]);
  pipe.writeEnd = Descriptor(fds[1]);
  return true;
}

struct ChildStreams {
  int input;
  int output;
  int error;
  int execFailure;
};

// Runs in the child between fork and exec, where only async-signal-safe calls
// are allowed (another thread of the parent may have held a lock at the fork).
[[noreturn]] void becomeProgram(char* const* argv, const ChildStreams& streams, pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The parent may have ended before the death signal was armed; then it
  // never comes, and the program must not start at all.
  if (getppid() != parent) _exit(127);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (dup2(streams.input, STDIN_FILENO) >= 0 && dup2(streams.output, STDOUT_FILENO) >= 0 &&
      dup2(streams.error, STDERR_FILENO) >= 0) {
    execve(argv[0], argv, environ);
  }
  int failure = errno;
  (void)!write(streams.execFailure, &failure, sizeof failure);
  _exit(127);
}

int exitStatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int waitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return exitStatusOf(status);
}

// The errno of a failed exec, or 0 once the program runs (the pipe closes at
// the exec, so the read ends without data).
int execFailure(Descriptor& readEnd) {
  int failure = 0;
  ssize_t count = 0;
  do {
    count = read(readEnd.get(), &failure, sizeof failure);
  } while (count < 0 && errno == EINTR);
  return count == sizeof failure ? failure : 0;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::stringstream text;
  text << stream.rdbuf();
  return text.str();
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::filesystem::path& errorFile) {
  if (arguments.empty()) {
    startError_ = "no program to run";
    return;
  }
  std::vector<std::string> owned = arguments;
  std::vector<char*> argv;
  for (auto& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  Descriptor input(open("/dev/null", O_RDONLY | O_CLOEXEC));
  Descriptor error(open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  Pipe output;
  Pipe failure;
  if (!input.valid() || !error.valid() || !openPipe(output) || !openPipe(failure)) {
    startError_ = "cannot prepare to run a program: " + std::string(std::strerror(errno));
    return;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    becomeProgram(argv.data(),
                  {input.get(), output.writeEnd.get(), error.get(), failure.writeEnd.get()},
                  parent);
  }
  if (pid < 0) {
    startError_ = "cannot fork: " + std::string(std::strerror(errno));
    return;
  }
  output.writeEnd = Descriptor();
  failure.writeEnd = Descriptor();
  if (int code = execFailure(failure.readEnd)) {
    waitForExit(pid);
    startError_ = "cannot run " + arguments[0] + ": " + std::strerror(code);
    return;
  }
  pid_ = pid;
  outputFd_ = output.readEnd.release();
}

ChildProcess::~ChildProcess() {
  if (running()) stop(SIGKILL);
  if (outputFd_ >= 0) close(outputFd_);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::steady_clock::time_point deadline) {
  std::size_t end = 0;
  while ((end = unread_.find('\n')) == std::string::npos) {
    auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd readable{outputFd_, POLLIN, 0};
    if (outputFd_ < 0 || left.count() <= 0 ||
        poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
      return std::nullopt;
    }
    char buffer[512];
    ssize_t count = read(outputFd_, buffer, sizeof buffer);
    if (count <= 0) return std::nullopt;
    unread_.append(buffer, static_cast<std::size_t>(count));
  }
  std::string line = unread_.substr(0, end);
  unread_.erase(0, end + 1);
  return line;
}

std::string ChildProcess::readOutputToEnd() {
  std::string text = std::exchange(unread_, {});
  if (outputFd_ < 0) return text;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = read(outputFd_, buffer, sizeof buffer)) != 0) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) break;
    text.append(buffer, static_cast<std::size_t>(count));
  }
  return text;
}

int ChildProcess::stop(int signal) {
  if (!running()) return -1;
  kill(pid_, signal);
  return wait();
}

std::optional<int> ChildProcess::endedByItself() {
  int status = 0;
  if (!running() || waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
  pid_ = -1;
  return exitStatusOf(status);
}

int ChildProcess::wait() {
  if (!running()) return -1;
  return waitForExit(std::exchange(pid_, -1));
}

CompletedRun runToCompletion(const std::vector<std::string>& arguments) {
  TemporaryDirectory directory;
  const auto errorFile = directory.path() / "stderr";
  ChildProcess child(arguments, errorFile);
  CompletedRun run;
  if (!child.running()) {
    run.standardError = child.startError();
    return run;
  }
  run.standardOutput = child.readOutputToEnd();
  run.exitStatus = child.wait();
  run.standardError = readFile(errorFile);
  return run;
}

CompletedRun runShellCommand(const std::string& command) {
  return runToCompletion({"/bin/sh", "-c", "exec " + command});
}

}  // namespace velmoradine::testing
