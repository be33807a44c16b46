#pragma once

// Draws a layer tree into pixels with Cairo and Pango.
//
// The root layer is placed by its frame in the target's point space (pixels
// divided by `scale`). Honoured: bounds, position, anchor point, transforms
// (their flat part: perspective and depth have no effect beyond zPosition
// ordering), sublayer transforms, geometry flipping, hidden layers, opacity
// (as a group, or per sub-layer when group opacity is off), double-sidedness,
// background colour, corner radius with masked corners, borders, masks to
// bounds (rounded with a corner radius), mask layers (their alpha), image
// contents with gravity, contents rect, contents center, contents scale and
// the nearest magnification filter, shadows (colour, opacity, offset, blur
// radius, shadow path) and text layers. docs/graphics.md lists what has no
// effect.
//
// Rendering reads the tree and never changes it; it must not change meanwhile.
// Distinct renderers may run on distinct threads.

#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/layer.hpp"

namespace velmoradine {

enum class RenderOrigin {
  // y grows downwards from the top-left corner, as in the host's views.
  topLeft,
  // y grows upwards from the bottom-left corner, as the video compositing
  // tool draws; a root with `isGeometryFlipped` then lays its sub-layers out
  // from the top. Images and text stay upright either way.
  bottomLeft,
};

struct RenderOptions {
  double scale = 1;  // pixels per point
  RenderOrigin origin = RenderOrigin::topLeft;
  // What the target is cleared to before drawing; transparent when none.
  std::optional<Color> background;
};

struct LayerRenderer {
  // Clears `target` and draws the tree into it (the caller's buffer when the
  // bitmap wraps one).
  static void render(const Layer& root, Bitmap& target, const RenderOptions& options = {});
  static Bitmap render(const Layer& root, int pixelWidth, int pixelHeight,
                       const RenderOptions& options = {});
};

// Draws a tree frame after frame when only a few of its layers change: the
// layers drawn below the changing ones and those drawn above them are drawn
// once into two cached bitmaps; each frame copies the lower one, draws the
// changing layers and blends the upper one over them.
//
// A changing layer whose ancestor draws as a group (group opacity, a mask, a
// shadow) is redrawn together with that ancestor, so the result is always the
// full drawing's. Between frames the caller may change anything about the
// `changing` layers and their sub-trees; after changing any other layer it
// calls `invalidate()`.
class PreRenderedLayerTree {
 public:
  PreRenderedLayerTree(std::shared_ptr<const Layer> root,
                       std::vector<std::shared_ptr<const Layer>> changing, int pixelWidth,
                       int pixelHeight, RenderOptions options = {});
  ~PreRenderedLayerTree();
  PreRenderedLayerTree(const PreRenderedLayerTree&) = delete;
  PreRenderedLayerTree& operator=(const PreRenderedLayerTree&) = delete;

  // Draws the current frame into `target`, which must have the size given at
  // construction.
  Result<void> render(Bitmap& target);
  // Renders into a new bitmap.
  Result<Bitmap> render();
  void invalidate();

  int pixelWidth() const;
  int pixelHeight() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmoradine
