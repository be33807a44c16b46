#pragma once

// Helpers for benchmarks that measure the kit against the same work done by
// the ffmpeg command line in the same run.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace velmoradine::bench {

// The x264 settings both sides encode with, so that only the pipelines differ.
inline constexpr const char* kPeerX264Arguments =
    "-c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -color_range tv "
    "-colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m";

inline double secondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a shell command with its output discarded; true when it exited 0.
inline bool runQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A benchmark that cannot run says why and exits non-zero, as the scripts expect.
inline void require(const char* program, bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "%s: %s\n", program, what);
  std::exit(1);
}

}  // namespace velmoradine::bench
