#include <cstdio>
#include <fstream>
#include <optional>

#include "commands.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"

namespace velmoradine::cli {

// Writes the preview image the share pipeline uploads for a video.
int thumbnailCommand(const Arguments& arguments) {
  if (arguments.size() != 2) {
    std::fprintf(stderr, "usage: velmoradine thumbnail VIDEO OUT.jpg\n");
    return 2;
  }
  std::optional<Result<std::vector<std::uint8_t>>> outcome;
  ThumbnailCreator::thumbnail(arguments[0], [&](Result<std::vector<std::uint8_t>> result) {
    RunLoop::main().perform([&outcome, result = std::move(result)] { outcome = result; });
  });
  RunLoop::main().runUntil([&] { return outcome.has_value(); }, std::chrono::minutes(5));
  if (!outcome) {
    std::fprintf(stderr, "velmoradine thumbnail: timed out\n");
    return 1;
  }
  if (!*outcome) {
    std::fprintf(stderr, "velmoradine thumbnail: %s\n", errorText(outcome->error()).c_str());
    return 1;
  }
  std::ofstream file(arguments[1], std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>((*outcome)->data()),
             static_cast<std::streamsize>((*outcome)->size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "velmoradine thumbnail: cannot write %s\n", arguments[1].c_str());
    return 1;
  }
  return 0;
}

}  // namespace velmoradine::cli
