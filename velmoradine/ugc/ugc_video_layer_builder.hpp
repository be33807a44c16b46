#pragma once

// Puts a scene's video into its composition and drawing: the track, its
// scale, the scene's duration and the post-processing layer tool that draws
// the video inside the scene's layers. Runs on the thread that builds the
// scene (the main queue).
//
// For a live preview it plays the video instead, in a player view
// controller whose view takes the layer's frame in the preview view, and
// ends the preview (`videoDidFinish()` on the main queue) when the video
// ends or, for a scene shorter than its video, when the scene's time is up
// on the Clock.

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
  // Fails as `build` does (but for the insertion), or with `unknown` when the
  // presentation has no preview view or controllers. A video that stops
  // playing on a decoding error ends the preview with a log line naming the
  // error.
  static Result<void> buildPresentation(const UGCVideoLayerConfiguration& configuration,
                                        UGCScenePresentation& presentation);

  // `maxDuration` seconds in the asset duration's timescale, at most the
  // asset's duration; the asset's duration without a maximum.
  static MediaTime duration(std::optional<double> maxDuration, const Asset& videoAsset);
  // A zero, negative or not-a-number maximum would give an empty or
  // undefined range, and an infinite one is not a duration: all are refused
  // with a `videoError` naming the value.
  static Result<void> checkMaxDuration(const std::optional<double>& maxDuration);
};

}  // namespace velmoradine
