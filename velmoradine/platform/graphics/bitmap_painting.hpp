#pragma once

// Painting one bitmap onto another through a transform, for areas that
// composite pictures without a layer tree (video frames and their layers).
// Both bitmaps may be used from any thread, but not by two at once.

#include <optional>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

// Paints `picture` onto `canvas` through `transform` (from the picture's
// pixels to the canvas's) with `opacity`, filtered smoothly. When `clip` is
// given (in canvas pixels) only the inside of it is painted, its corners
// rounded by `cornerRadius`. The picture's alpha is used even when the bitmap
// is marked opaque.
void paintBitmap(Bitmap& canvas, const Bitmap& picture, const AffineTransform& transform,
                 double opacity, const std::optional<Rect>& clip = std::nullopt,
                 double cornerRadius = 0);

}  // namespace velmoradine
