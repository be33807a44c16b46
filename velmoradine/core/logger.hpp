#pragma once

// The kit's log lines: one line per call on standard output (through
// console::writeLine, which tests capture), no levels, no files.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "velmoradine/core/documentation_identifier.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

struct Logger {
  // "[Velmoradine] " + string, then " - " + the error's localized
  // description, then " - " + the documentation link.
  static void velmoradineDebug(std::string_view string, const std::optional<Error>& error = {},
                               std::optional<DocumentationIdentifier> documentation = {});
};

// A duration in milliseconds, as the shortest decimal text that reads back to
// the same double; a whole number keeps its ".0".
std::string formatMilliseconds(std::chrono::steady_clock::duration elapsed);

// Times a multi-step operation: "Beginning", a line per step with the time
// since the previous step, and "Finished" with both times.
class DurationLogger {
 public:
  static DurationLogger begin(std::string prefix);
  void trace(std::string_view message);
  void finish() const;

 private:
  explicit DurationLogger(std::string prefix);
  std::chrono::steady_clock::time_point originalStartTime_;
  std::chrono::steady_clock::time_point startTime_;
  std::string prefix_;
};

class UGCDurationLogger {
 public:
  static UGCDurationLogger begin(std::string prefix);
  void finish() const;

 private:
  explicit UGCDurationLogger(std::string prefix);
  std::chrono::steady_clock::time_point startTime_;
  std::string prefix_;
};

struct UGCLogger {
  // "[Velmoradine] [UGCGenerator] " + message.
  static void log(std::string_view message);
};

}  // namespace velmoradine
