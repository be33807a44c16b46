#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "commands.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"

namespace velmoradine::cli {
namespace {

int fail(const std::string& reason) {
  std::fprintf(stderr, "velmoradine thumbnail: %s\n", reason.c_str());
  return 1;
}

// The kit reports every failure to make a preview with one error; the
// video's own error says which step went wrong.
std::string reasonFor(const Error& error, const std::filesystem::path& video) {
  auto asset = URLAsset::make(video);
  if (auto loadError = asset->loadError()) return errorText(*loadError);
  if (auto frame = grabThumbnail(asset, 0); !frame) return errorText(frame.error());
  return errorText(error);
}

bool write(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& path) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return file.good();
}

}  // namespace

// Writes the preview image the share pipeline uploads for a video.
int thumbnailCommand(const Arguments& arguments) {
  if (arguments.size() != 2) return usageError("thumbnail");
  const std::filesystem::path video = arguments[0];
  const std::filesystem::path output = arguments[1];
  std::optional<Result<std::vector<std::uint8_t>>> outcome;
  ThumbnailCreator::thumbnail(video, [&](Result<std::vector<std::uint8_t>> result) {
    RunLoop::main().perform([&outcome, result = std::move(result)] { outcome = result; });
  });
  RunLoop::main().runUntil([&] { return outcome.has_value(); }, std::chrono::minutes(5));
  if (!outcome) return fail("timed out");
  if (!*outcome) return fail(reasonFor(outcome->error(), video));
  errno = 0;
  if (!write(**outcome, output)) {
    return fail("cannot write " + output.string() +
                (errno ? ": " + std::string(std::strerror(errno)) : ""));
  }
  return 0;
}

}  // namespace velmoradine::cli
