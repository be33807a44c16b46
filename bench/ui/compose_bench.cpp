// `velmoradine compose` with the Copy outlet, as a whole process, against
// what it replaces: `velmoradine render` of the same UGC followed by
// `velmoradine share` of its output, measured in the same run against the
// same devserver. The UGC is the sample of examples/weekend (three scenes of
// 3 s at 540 × 960 with text and images). While compose renders, its sheet
// and preview are on screen and the share pipeline waits for the video, so
// the figure shows what they add to rendering and sharing: the goal is at
// most 1.1.

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/support/figures.hpp"
#include "bench/support/peer_commands.hpp"
#include "bench/ui/ui_figures.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/temporary_directory.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kRepetitions = 3;

std::string quoted(const fs::path& path) {
  return std::string("'").append(path.string()).append("'");
}

std::string program() {
  return quoted(executableDirectory() / "velmoradine");
}

// The sample UGC with its clips, in `folder`.
bool writeSample(const fs::path& folder) {
  std::error_code code;
  fs::copy(fs::path(VELMORADINE_SOURCE_DIR) / "examples" / "weekend", folder,
           fs::copy_options::recursive, code);
  fs::create_directories(folder / "clips", code);
  if (code) return false;
  for (const char* day : {"friday", "saturday", "sunday"}) {
    const auto clip = folder / "clips" / (std::string(day) + ".mp4");
    if (!runQuietly(program() + " make-sample " + quoted(clip) + " --seconds 3")) return false;
  }
  return true;
}

// A host bundle pointing the kit at the devserver, for every child process.
void useDevServer(const fs::path& bundle, const std::string& base) {
  fs::create_directories(bundle);
  std::ofstream(bundle / "Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      << "<key>CFBundleIdentifier</key><string>dev.velmoradine.bench</string>"
      << "<key>VelmoradineClientId</key><string>bench-key</string>"
      << "<key>VelmoradineAPIBaseURL</key><string>" << base << "v1/api/sdk/</string>"
      << "<key>VelmoradineEventsURL</key><string>" << base << "v1/events</string>"
      << "</dict></plist>\n";
  ::setenv("VELMORADINE_MAIN_BUNDLE", bundle.c_str(), 1);
}

}  // namespace

bool printComposeFigures() {
  testing::TemporaryDirectory scratch;
  const fs::path& work = scratch.path();
  testing::ChildProcess server(
      {VELMORADINE_DEVSERVER_PATH, "--data-dir", (work / "server").string(), "--api-key",
       "bench-key", "--app-slug", "bench"},
      work / "server.err");
  auto base = server.readLine(std::chrono::steady_clock::now() + std::chrono::minutes(1));
  if (!base) {
    std::fprintf(stderr, "bench_ui: the devserver did not start\n");
    return false;
  }
  if (!writeSample(work / "ugc")) {
    std::fprintf(stderr, "bench_ui: cannot write the sample UGC\n");
    return false;
  }
  useDevServer(work / "bundle", *base);
  ::setenv("XDG_CACHE_HOME", (work / "cache").c_str(), 1);
  const std::string description = quoted(work / "ugc" / "weekend.json");
  const std::string output = quoted(work / "out.mp4");
  bool ran = true;
  const double composed = medianSeconds(kRepetitions, [&] {
    ran = runQuietly(program() + " compose " + description + " --outlet copy") && ran;
  });
  const double separately = medianSeconds(kRepetitions, [&] {
    ran = runQuietly(program() + " render " + description + " " + output) && ran;
    ran = runQuietly(program() + " share " + output + " --title Weekend --keep-link") && ran;
  });
  server.stop(SIGTERM);
  if (!ran) {
    std::fprintf(stderr, "bench_ui: a command failed\n");
    return false;
  }
  std::printf("# compose %.3f s, render + share %.3f s\n", composed, separately);
  printFigure("compose_vs_render_plus_share", composed / separately);
  return true;
}

}  // namespace velmoradine::bench
