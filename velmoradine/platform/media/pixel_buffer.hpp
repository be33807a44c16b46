#pragma once

// A picture in memory: premultiplied BGRA bytes (Cairo's ARGB32 on a
// little-endian machine), rows of `stride` bytes.

#include <cstdint>
#include <vector>

namespace velmoradine {

struct PixelBuffer {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<std::uint8_t> bytes;

  PixelBuffer() = default;
  PixelBuffer(int width, int height)
      : width(width),
        height(height),
        stride(width * 4),
        bytes(static_cast<std::size_t>(width) * height * 4) {}

  bool isEmpty() const { return width <= 0 || height <= 0; }
  std::uint8_t* row(int y) { return bytes.data() + static_cast<std::size_t>(y) * stride; }
  const std::uint8_t* row(int y) const {
    return bytes.data() + static_cast<std::size_t>(y) * stride;
  }
  // The pixel at (x, y) as 0xAARRGGBB.
  std::uint32_t pixel(int x, int y) const {
    const std::uint8_t* p = row(y) + x * 4;
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
  }
};

}  // namespace velmoradine
