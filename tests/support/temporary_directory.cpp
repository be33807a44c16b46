#include "tests/support/temporary_directory.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

extern char** environ;

namespace velmoradine::testing {

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
  throw std::filesystem::filesystem_error(what, path,
                                          std::error_code(errno, std::generic_category()));
}

// A new directory, private to the user, named `prefix` and six random letters.
std::filesystem::path makeUniqueDirectory(const std::filesystem::path& parent,
                                          const std::string& prefix) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) fail("cannot make a scratch folder", pattern);
  return pattern;
}

// Starts a shell, in a session of its own so that a Ctrl-C aimed at the test
// does not reach it, that waits for the end of its standard input and then
// removes `root`. Its standard input is a pipe whose only writer is this
// process (close-on-exec keeps the writer out of the programs tests run):
// the kernel closes it when the process ends, however it ends.
void startWatcherRemoving(const std::filesystem::path& root) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) fail("cannot make the scratch watcher's pipe", root);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::string script = "while read -r _; do :; done; exec rm -rf -- \"$0\"";
  std::string rootText = root.string();
  std::vector<char*> argv = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), script.data(),
                             rootText.data(), nullptr};
  pid_t pid = -1;
  int status = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[0]);
  if (status != 0) {
    close(pipeFds[1]);
    errno = status;
    fail("cannot start the scratch watcher", root);
  }
}

// The folder that holds this process's scratch folders. A normal exit removes
// it at once; the watcher covers every other ending.
class ProcessScratch {
 public:
  static const std::filesystem::path& root() {
    static ProcessScratch scratch;
    return scratch.root_;
  }

  ~ProcessScratch() {
    // A forked child (a death test) shares the folder but does not own it.
    if (getpid() != owner_) return;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  ProcessScratch()
      : root_(makeUniqueDirectory(std::filesystem::temp_directory_path(), "velmoradine-scratch-")),
        owner_(getpid()) {
    try {
      startWatcherRemoving(root_);
    } catch (...) {
      std::filesystem::remove(root_);
      throw;
    }
  }

  std::filesystem::path root_;
  pid_t owner_;
};

}  // namespace

TemporaryDirectory::TemporaryDirectory()
    : path_(makeUniqueDirectory(ProcessScratch::root(), "folder-")) {}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name, const std::string& value)
    : name_(std::move(name)) {
  if (const char* previous = std::getenv(name_.c_str())) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  if (hadPrevious_) {
    setenv(name_.c_str(), previous_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

}  // namespace velmoradine::testing
