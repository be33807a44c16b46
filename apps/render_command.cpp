// `velmoradine render UGC.json OUT.mp4`: renders a UGC described in JSON
// (docs/ugc.md) through the kit's public API, as a host does: every scene's
// `ready`, then the UGC's `ready`. It shows each scene's outcome and the
// join as they happen, and export percentages when standard output is a
// terminal.
//
// OUT.mp4 appears whole or not at all: the final video is copied to a
// temporary name in the same folder and renamed. The kit's own files (the
// scene videos and the joined one in the caches folder) are removed once
// the command is done with them.

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "commands.hpp"
#include "ugc_building.hpp"
#include "ugc_render_progress.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/dispatch/timer.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine::cli {
namespace {

namespace fs = std::filesystem;

// Remote layers time out within seconds and exports always end, so this
// bound is only the last guard against waiting for ever.
constexpr auto kLongestRender = std::chrono::hours(6);
constexpr auto kPercentageInterval = std::chrono::milliseconds(250);

void say(const std::string& line) {
  console::writeLine("* " + line);
}

void complain(const std::string& line) {
  std::fprintf(stderr, "render: %s\n", line.c_str());
}

// Why the video cannot be written to `output`; nothing when its folder is
// there to take it.
std::optional<std::string> unwritableOutput(const fs::path& output) {
  const fs::path folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  std::error_code code;
  if (!fs::is_directory(folder, code)) return folder.string() + " is not a folder";
  if (fs::is_directory(output, code)) return output.string() + " is a folder";
  if (::access(folder.c_str(), W_OK) != 0) return "cannot write in " + folder.string();
  return std::nullopt;
}

// Renders the UGC and answers with its final result, or none if it took
// longer than any render should.
std::optional<Result<SuccessfulRenderingResult>> render(
    const std::shared_ptr<UGC>& ugc, const std::shared_ptr<UGCRenderProgress>& progress) {
  auto outcome = std::make_shared<std::optional<Result<SuccessfulRenderingResult>>>();
  readyInTurn(ugc, 0, progress, [outcome](Result<SuccessfulRenderingResult> result) {
    RunLoop::main().perform([outcome, result] { *outcome = result; });
  });
  std::shared_ptr<Timer> percentages;
  if (::isatty(STDOUT_FILENO)) {
    percentages = Timer::scheduledTimer(kPercentageInterval, true,
                                        [progress](Timer&) { progress->showPercentages(); });
  }
  RunLoop::main().runUntil([outcome] { return outcome->has_value(); }, kLongestRender);
  if (percentages) percentages->invalidate();
  if (*outcome) progress->joinReported(**outcome);
  return *outcome;
}

// Copies `video` to `output` through a temporary file beside it, so that
// `output` is either the whole video or untouched.
std::optional<std::string> deliver(const fs::path& video, const fs::path& output) {
  fs::path partial = output;
  partial += ".partial-" + std::to_string(::getpid());
  std::error_code code;
  if (fs::copy_file(video, partial, fs::copy_options::overwrite_existing, code)) {
    fs::rename(partial, output, code);
    if (!code) return std::nullopt;
  }
  fs::remove(partial);
  return "cannot write " + output.string() + ": " + code.message();
}

void removeKitFiles(const UGCRenderProgress& progress) {
  std::error_code ignored;
  for (const fs::path& file : progress.renderedFiles()) fs::remove(file, ignored);
}

int renderDescription(const UGCDescription& description, const fs::path& output) {
  auto progress = UGCRenderProgress::make(description.scenes.size(), say);
  std::optional<Result<SuccessfulRenderingResult>> outcome;
  {
    std::shared_ptr<UGC> ugc = buildUGC(description, *progress, progress->providers());
    outcome = render(ugc, progress);
  }
  int status = 1;
  if (!outcome) {
    complain("the render did not finish in time");
  } else if (!*outcome) {
    complain(outcome->error().localizedDescription());
  } else if (auto problem = deliver((*outcome)->displayURL, output)) {
    complain(*problem);
  } else {
    say("wrote " + output.string());
    status = 0;
  }
  removeKitFiles(*progress);
  return status;
}

}  // namespace

int renderCommand(const Arguments& arguments) {
  if (arguments.size() != 2) return usageError("render");
  const fs::path input = arguments[0];
  const fs::path output = arguments[1];
  Result<UGCDescription> description = readUGCDescription(input);
  if (!description) {
    complain(input.string() + ": " + description.error().localizedDescription());
    return 1;
  }
  if (auto problem = unwritableOutput(output)) {
    complain(*problem);
    return 1;
  }
  return renderDescription(*description, output);
}

}  // namespace velmoradine::cli
