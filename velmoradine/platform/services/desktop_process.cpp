#include "velmoradine/platform/services/desktop_process.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

#include "velmoradine/platform/services/desktop_services_error.hpp"

extern char** environ;

namespace velmoradine::desktop_process {
namespace {

class SpawnSetup {
 public:
  explicit SpawnSetup(short flags) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes_, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes_, &signals);
    posix_spawnattr_setflags(&attributes_, flags | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  void openNull(int descriptor, int mode) {
    posix_spawn_file_actions_addopen(&actions_, descriptor, "/dev/null", mode, 0);
  }
  void duplicate(int from, int to) { posix_spawn_file_actions_adddup2(&actions_, from, to); }

  Result<pid_t> spawn(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().empty()) {
      return failure(Error(DesktopServicesError::launchFailed, "no program named"));
    }
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int error =
            posix_spawnp(&pid, argv.front(), &actions_, &attributes_, argv.data(), environ)) {
      return failure(Error(DesktopServicesError::launchFailed,
                           arguments.front() + ": " + std::strerror(error)));
    }
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// A write into a pipe whose reader has gone raises SIGPIPE, which would end
// the whole process: while alive, this thread holds it back and drops it.
class HeldBackBrokenPipe {
 public:
  HeldBackBrokenPipe() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  ~HeldBackBrokenPipe() {
    if (!alreadyPending_) {
      const timespec immediately{};
      while (sigtimedwait(&pipe_, nullptr, &immediately) == SIGPIPE) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  HeldBackBrokenPipe(const HeldBackBrokenPipe&) = delete;
  HeldBackBrokenPipe& operator=(const HeldBackBrokenPipe&) = delete;

 private:
  sigset_t pipe_;
  sigset_t previous_;
  bool alreadyPending_ = false;
};

bool writeAll(int descriptor, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

// Streams in chunks, so a viewed file is never mapped whole.
void feed(int descriptor, const Data& input) {
  HeldBackBrokenPipe heldBack;
  std::array<std::uint8_t, 64 * 1024> chunk;
  for (std::size_t offset = 0; offset < input.size();) {
    const std::size_t size = std::min(chunk.size(), input.size() - offset);
    const std::span<std::uint8_t> part(chunk.data(), size);
    if (!input.read(offset, part) || !writeAll(descriptor, part)) return;
    offset += size;
  }
}

}  // namespace

Result<void> startDetached(const std::vector<std::string>& arguments) {
  SpawnSetup setup(POSIX_SPAWN_SETSID);
  setup.openNull(STDIN_FILENO, O_RDONLY);
  setup.openNull(STDOUT_FILENO, O_WRONLY);
  VELMORADINE_ASSIGN_OR_RETURN(const pid_t pid, setup.spawn(arguments));
  std::thread([pid] { waitFor(pid); }).detach();
  return {};
}

Result<int> runFeeding(const std::vector<std::string>& arguments, const Data& input) {
  std::array<int, 2> pipe{};
  if (pipe2(pipe.data(), O_CLOEXEC) != 0) return failure(Error::posix(errno, "pipe2"));
  SpawnSetup setup(0);
  setup.duplicate(pipe[0], STDIN_FILENO);
  setup.openNull(STDOUT_FILENO, O_WRONLY);
  setup.openNull(STDERR_FILENO, O_WRONLY);
  auto pid = setup.spawn(arguments);
  close(pipe[0]);
  if (pid) feed(pipe[1], input);
  close(pipe[1]);
  if (!pid) return failure(pid.error());
  return waitFor(*pid);
}

Result<void> launch(const DesktopEntry& entry, const std::vector<std::string>& uris) {
  VELMORADINE_ASSIGN_OR_RETURN(const auto lines, commandLines(entry, uris));
  for (const auto& line : lines) VELMORADINE_TRY(startDetached(line));
  return {};
}

}  // namespace velmoradine::desktop_process
