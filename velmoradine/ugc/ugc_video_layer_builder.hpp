#pragma once

// Puts a scene's video into its composition and drawing: the track, its
// scale, the scene's duration and the post-processing layer tool that draws
// the video inside the scene's layers. Runs on the thread that builds the
// scene (the main queue).

#include <optional>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/media_time.hpp"
#include "velmoradine/ugc/ugc_layer_builder.hpp"

namespace velmoradine {

struct UGCVideoLayerBuilder : UGCLayerBuilder {
  // Fails with `videoError` "Unable to load video" (no local file yet),
  // "Unable to load video asset" (no video track), "Unable to insert video
  // track", or a message naming what is wrong with the format (no frame to
  // scale the video into) or the scene's `maxDuration` (not a finite number
  // of seconds above zero).
  static Result<void> build(const UGCVideoLayerConfiguration& configuration,
                            UGCSecneRenderer& scene);

  // `maxDuration` seconds in the asset duration's timescale, at most the
  // asset's duration; the asset's duration without a maximum.
  static MediaTime duration(std::optional<double> maxDuration, const Asset& videoAsset);
};

}  // namespace velmoradine
