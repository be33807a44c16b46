#pragma once

// Private to the media layer: the layer tree of an animation tool, made
// ready for an export. Where the video layer is a plain child of a plain root
// the tree is drawn once into the part below the video and the part above
// it, and each frame only places the video between them (in the encoder's
// planar format where it can). Any other tree is redrawn around each frame,
// reusing the renderer's cached static parts.

#include <memory>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/media/video_composition.hpp"

namespace velmoradine::media {

struct OverlayPlan {
  bool split = false;
  // Split form.
  Bitmap below;  // null when nothing is drawn below the video
  Bitmap above;  // null when nothing is drawn above it
  Rect videoRect;
  double videoOpacity = 1;
  double videoCornerRadius = 0;
  // Whole form.
  std::shared_ptr<PreRenderedLayerTree> tree;
  std::shared_ptr<Layer> videoLayer;
};

// Runs on the thread that owns the tree.
Result<std::shared_ptr<OverlayPlan>> prepareOverlay(const VideoCompositionCoreAnimationTool& tool,
                                                    int width, int height);

}  // namespace velmoradine::media
