#pragma once

// Scratch folders for tests and benchmarks that leave nothing behind.
//
// Every folder lives inside one folder per process ("velmoradine-scratch-*"
// in the temporary folder). A folder is removed with its object, so a test
// that passes, fails or throws cleans up after itself; and when the process
// ends without running destructors (killed, aborted, std::exit in a death
// test), a small watcher process started with the first folder removes
// whatever the process left.

#include <filesystem>
#include <string>

namespace velmoradine::testing {

class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable while the object lives and puts the previous
// value (or its absence) back afterwards.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::string name, const std::string& value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace velmoradine::testing
