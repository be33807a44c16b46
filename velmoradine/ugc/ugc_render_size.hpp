#pragma once

// Which render sizes the renderers accept. H.264 in 4:2:0 needs even picture
// sides, and beyond 4096 × 4096 the encoder's levels (and a phone's
// decoder) give out. A size outside that is refused with a `videoError`
// naming it, rather than silently rounded: the host asked for exact pixels
// and its layer frames are laid out for them.

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

inline constexpr double kMaximumRenderSide = 4096;

Result<void> checkRenderSize(Size size);

}  // namespace velmoradine
