#include "velmoradine/core/logger.hpp"

#include <charconv>

#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

constexpr std::string_view kPrefix = "[Velmoradine] ";

std::string prefixed(std::string_view text) {
  std::string line(kPrefix);
  line += text;
  return line;
}

}  // namespace

void Logger::velmoradineDebug(std::string_view string, const std::optional<Error>& error,
                              std::optional<DocumentationIdentifier> documentation) {
  std::string line = prefixed(string);
  if (error) line += " - " + error->localizedDescription();
  if (documentation) line += " - " + documentationLink(*documentation);
  console::writeLine(line);
}

std::string formatMilliseconds(std::chrono::steady_clock::duration elapsed) {
  double milliseconds = std::chrono::duration<double>(elapsed).count() * 1000.0;
  // Fixed notation is still the shortest text that reads back exactly, but
  // never switches to an exponent ("100000", not "1e+05"). Nanosecond counts
  // give milliseconds from 1e-6 to about 1e13, well within the buffer.
  char buffer[64];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, milliseconds, std::chars_format::fixed);
  std::string text(buffer, end);
  // A whole number keeps its ".0", as a double's text does.
  if (text.find_first_of(".n") == std::string::npos) text += ".0";
  return text;
}

DurationLogger::DurationLogger(std::string prefix)
    : originalStartTime_(std::chrono::steady_clock::now()),
      startTime_(originalStartTime_),
      prefix_(std::move(prefix)) {}

DurationLogger DurationLogger::begin(std::string prefix) {
  console::writeLine(prefixed(prefix + " Beginning"));
  return DurationLogger(std::move(prefix));
}

void DurationLogger::trace(std::string_view message) {
  auto now = std::chrono::steady_clock::now();
  console::writeLine(prefixed(prefix_ + " " + std::string(message) +
                              " Trace: " + formatMilliseconds(now - startTime_) + ")"));
  startTime_ = now;
}

void DurationLogger::finish() const {
  auto now = std::chrono::steady_clock::now();
  console::writeLine(prefixed(prefix_ + " Finished: " + formatMilliseconds(now - startTime_) +
                              " ( " + formatMilliseconds(now - originalStartTime_) + " total) "));
}

UGCDurationLogger::UGCDurationLogger(std::string prefix)
    : startTime_(std::chrono::steady_clock::now()), prefix_(std::move(prefix)) {}

UGCDurationLogger UGCDurationLogger::begin(std::string prefix) {
  console::writeLine(prefixed(prefix + " Beginning operation"));
  return UGCDurationLogger(std::move(prefix));
}

void UGCDurationLogger::finish() const {
  console::writeLine(prefixed(
      prefix_ + " Finished: " + formatMilliseconds(std::chrono::steady_clock::now() - startTime_)));
}

void UGCLogger::log(std::string_view message) {
  console::writeLine(prefixed("[UGCGenerator] " + std::string(message)));
}

}  // namespace velmoradine
