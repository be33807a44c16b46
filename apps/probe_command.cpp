#include <cstdio>
#include <nlohmann/json.hpp>

#include "commands.hpp"
#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine::cli {
namespace {

int rotationOf(const AffineTransform& transform) {
  if (transform.b > 0.5 && transform.c < -0.5) return 90;
  if (transform.a < -0.5 && transform.d < -0.5) return 180;
  if (transform.b < -0.5 && transform.c > 0.5) return 270;
  return 0;
}

}  // namespace

// Prints what the kit reads of a video file as JSON.
int probeCommand(const Arguments& arguments) {
  if (arguments.size() != 1) {
    std::fprintf(stderr, "usage: velmoradine probe VIDEO\n");
    return 2;
  }
  auto asset = URLAsset::make(arguments[0]);
  if (auto error = asset->loadError()) {
    std::fprintf(stderr, "velmoradine probe: %s\n", errorText(*error).c_str());
    return 1;
  }
  const AssetTrack track = asset->tracksWithMediaType(MediaType::video).front();
  nlohmann::ordered_json json = {
      {"duration", asset->duration().seconds()},
      {"width", static_cast<int>(track.naturalSize.width)},
      {"height", static_cast<int>(track.naturalSize.height)},
      {"rotation", rotationOf(track.preferredTransform)},
      {"frame_rate", track.nominalFrameRate},
      {"codec", track.codecName},
      {"frame_count", track.frameCount},
  };
  std::printf("%s\n", json.dump(2).c_str());
  return 0;
}

}  // namespace velmoradine::cli
