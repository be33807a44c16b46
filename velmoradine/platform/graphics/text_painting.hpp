#pragma once

// Private to platform/graphics: text layers laid out and drawn with Pango.

#include "velmoradine/platform/graphics/cairo_support.hpp"
#include "velmoradine/platform/graphics/layer.hpp"

namespace velmoradine::painting {

// Draws the layer's string in its bounds (clipped to them) in the layer's
// font and colours, faded by `alpha`.
void paintText(cairo_t* cr, const TextLayer& layer, double alpha);

}  // namespace velmoradine::painting
