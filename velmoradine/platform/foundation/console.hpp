#pragma once

// Standard output, one whole line per call. Every log line of the kit goes
// through here, so lines written from several threads never interleave and a
// test can capture them without changing their format.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velmoradine::console {

// Writes `line` and a newline to standard output (or to the active capture).
// Safe from any thread.
void writeLine(std::string_view line);

// While alive, lines go to this capture instead of standard output. Captures
// nest: the innermost one receives the lines. Safe from any thread.
class Capture {
 public:
  Capture();
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  std::vector<std::string> lines() const;
  // Whether any captured line equals `line` exactly.
  bool contains(std::string_view line) const;
  void clear();

 private:
  friend void writeLine(std::string_view line);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  Capture* outer_ = nullptr;
};

}  // namespace velmoradine::console
