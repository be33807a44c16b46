#include "velmoradine/platform/foundation/console.hpp"

#include <algorithm>
#include <cstdio>

namespace velmoradine::console {
namespace {

std::mutex& outputMutex() {
  static std::mutex mutex;
  return mutex;
}

Capture*& activeCapture() {
  static Capture* capture = nullptr;
  return capture;
}

}  // namespace

void writeLine(std::string_view line) {
  std::lock_guard lock(outputMutex());
  if (Capture* capture = activeCapture()) {
    std::lock_guard captureLock(capture->mutex_);
    capture->lines_.emplace_back(line);
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

Capture::Capture() {
  std::lock_guard lock(outputMutex());
  outer_ = activeCapture();
  activeCapture() = this;
}

Capture::~Capture() {
  std::lock_guard lock(outputMutex());
  activeCapture() = outer_;
}

std::vector<std::string> Capture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool Capture::contains(std::string_view line) const {
  std::lock_guard lock(mutex_);
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

void Capture::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

}  // namespace velmoradine::console
