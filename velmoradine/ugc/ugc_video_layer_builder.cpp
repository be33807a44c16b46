#include "velmoradine/ugc/ugc_video_layer_builder.hpp"

#include <cmath>
#include <sstream>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/ugc/ugc_secne_renderer.hpp"
#include "velmoradine/ugc/ugc_video_layer_configuration.hpp"

namespace velmoradine {
namespace {

Error videoError(std::string message) {
  return Error(UGCError::videoError, std::move(message));
}

constexpr const char* kNoFrame =
    "The video layer has no frame with a width and height above zero to scale the video into";

// Without a frame the scale is infinite or undefined: every export of it
// would fail, and be retried, for a reason that is the host's to fix.
bool usableScale(const AffineTransform& scale) {
  return std::isfinite(scale.a) && std::isfinite(scale.d) && scale.a > 0 && scale.d > 0;
}

// The scene's length: the duration rule, but never past the end of the video
// track itself (a file's sound may run a little longer than its picture).
MediaTime sceneLength(std::optional<double> maxDuration, const Asset& asset,
                      const AssetTrack& track) {
  const MediaTime wanted = UGCVideoLayerBuilder::duration(maxDuration, asset);
  const MediaTime trackEnd = track.timeRange.end();
  return trackEnd.isNumeric() && trackEnd < wanted ? trackEnd : wanted;
}

}  // namespace

Result<void> UGCVideoLayerBuilder::checkMaxDuration(const std::optional<double>& maxDuration) {
  if (!maxDuration || (std::isfinite(*maxDuration) && *maxDuration > 0)) return {};
  std::ostringstream message;
  message << "maxDuration " << *maxDuration << " is not a finite number of seconds above zero";
  return failure(videoError(message.str()));
}

MediaTime UGCVideoLayerBuilder::duration(std::optional<double> maxDuration,
                                         const Asset& videoAsset) {
  const MediaTime assetDuration = videoAsset.duration();
  if (!maxDuration) return assetDuration;
  const MediaTime limit = MediaTime::withSeconds(*maxDuration, assetDuration.timescale());
  return limit > assetDuration ? assetDuration : limit;
}

Result<void> UGCVideoLayerBuilder::build(const UGCVideoLayerConfiguration& configuration,
                                         UGCSecneRenderer& scene) {
  const std::optional<URL> url = configuration.url();
  if (!url) return failure(videoError("Unable to load video"));
  VELMORADINE_TRY(checkMaxDuration(scene.sceneOptions.maxDuration));
  const auto logger = UGCDurationLogger::begin("[UGCScene] withVideoLayer");
  auto videoLayer = Layer::create();
  const auto asset = URLAsset::make(url->filePath());
  const std::vector<AssetTrack> tracks = asset->tracksWithMediaType(MediaType::video);
  if (tracks.empty()) return failure(videoError("Unable to load video asset"));
  const AssetTrack& track = tracks.front();
  auto layerInstruction = MutableVideoCompositionLayerInstruction::make(*scene.sceneTrack);
  applyAttributes(*videoLayer, configuration.format->attributes());
  const AffineTransform scale = transformToExpectedAssetScale(
      *videoLayer, scene.outputLayer->frame().size, track.naturalSize);
  if (!usableScale(scale)) return failure(videoError(kNoFrame));
  layerInstruction->setTransform(scale, MediaTime::zero());
  const MediaTime length = sceneLength(scene.sceneOptions.maxDuration, *asset, track);
  if (!scene.sceneTrack->insertTimeRange({MediaTime::zero(), length}, track, MediaTime::zero())) {
    return failure(videoError("Unable to insert video track"));
  }
  scene.sceneDuration = length;
  scene.sceneOutputComposition->animationTool =
      VideoCompositionCoreAnimationTool::postProcessingAsVideoLayer(videoLayer, scene.outputLayer);
  scene.sceneOutputInstruction->layerInstructions.push_back(std::move(layerInstruction));
  scene.outputLayer->addSublayer(videoLayer);
  logger.finish();
  return {};
}

}  // namespace velmoradine
