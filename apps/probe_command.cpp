#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "commands.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine::cli {

// Prints what the kit reads of a video file as JSON.
int probeCommand(const Arguments& arguments) {
  if (arguments.size() != 1) return usageError("probe");
  auto asset = URLAsset::make(arguments[0]);
  // A file cut short is still described, by the part that is there; the
  // commands that use the video refuse it.
  const std::optional<Error> problem = asset->loadError();
  if (problem && !(problem->is(MediaError::incompleteFile) &&
                   !asset->tracksWithMediaType(MediaType::video).empty())) {
    std::fprintf(stderr, "velmoradine probe: %s\n", errorText(*problem).c_str());
    return 1;
  }
  const AssetTrack track = asset->tracksWithMediaType(MediaType::video).front();
  auto format = asset->formatDescription(track.trackID);
  if (!format) {
    std::fprintf(stderr, "velmoradine probe: %s\n", errorText(format.error()).c_str());
    return 1;
  }
  const PixelAspectRatio aspect = format->pixelAspectRatio;
  const Size shown = track.presentationSize(aspect);
  nlohmann::ordered_json json = {
      {"duration", asset->duration().seconds()},
      {"width", static_cast<int>(track.naturalSize.width)},
      {"height", static_cast<int>(track.naturalSize.height)},
      {"display_width", static_cast<int>(std::lround(shown.width))},
      {"display_height", static_cast<int>(std::lround(shown.height))},
      {"pixel_aspect_ratio",
       std::to_string(aspect.horizontalSpacing) + ":" + std::to_string(aspect.verticalSpacing)},
      {"rotation", media::transformRotation(track.preferredTransform)},
      {"frame_rate", track.nominalFrameRate},
      {"codec", track.codecName},
      {"pixel_format", format->pixelFormat},
      {"color_matrix", format->colorTags.matrix},
      {"color_range", format->colorTags.range},
      {"color_primaries", format->colorTags.primaries},
      {"color_transfer", format->colorTags.transfer},
      {"frame_count", track.frameCount},
      {"has_audio", !asset->tracksWithMediaType(MediaType::audio).empty()},
      {"complete", !problem},
  };
  if (problem) json["problem"] = errorText(*problem);
  std::printf("%s\n", json.dump(2).c_str());
  return 0;
}

}  // namespace velmoradine::cli
