#pragma once

// Internal: a mostly transparent raster (the text and images a view draws
// over its subviews) cut into the pieces that hold its visible pixels, so
// that each frame composites those pieces and not the whole transparent
// area around them.

#include <vector>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/uikit/pixel_rect.hpp"

namespace velmoradine {

// A piece of a raster: its pixels and where they go, in points from the
// raster's top-left corner.
struct RasterPiece {
  Rect frame;
  Image image;
};

// Rectangles that together hold every pixel of `bitmap` that is not fully
// transparent: one per band of rows holding such pixels (bands closer than a
// few rows are joined), as wide as that band's pixels reach.
std::vector<PixelRect> visibleBands(const Bitmap& bitmap);

// `raster` (drawn at `scale` pixels per point) cut into its visible bands.
std::vector<RasterPiece> cutIntoPieces(const Bitmap& raster, double scale);

}  // namespace velmoradine
