#pragma once

// Internal to the graphics area: an approximate Gaussian blur of an 8-bit
// alpha plane (three box blurs each way), used for layer shadows.

#include <cstdint>

namespace velmoradine {

void blurAlpha(std::uint8_t* pixels, int width, int height, int stride, double sigma);

}  // namespace velmoradine
