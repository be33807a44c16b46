#include "velmoradine/platform/graphics/blur.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmoradine {
namespace {

// One box pass of radius r along a line of n contiguous samples in `in`,
// written `outStep` bytes apart to `out`; samples outside count as zero.
void boxLine(const std::uint8_t* in, std::uint8_t* out, int n, std::ptrdiff_t outStep, int r) {
  int window = 2 * r + 1;
  int sum = 0;
  for (int i = 0; i < std::min(r, n); ++i) sum += in[i];
  for (int i = 0; i < n; ++i) {
    if (i + r < n) sum += in[i + r];
    if (i - r - 1 >= 0) sum -= in[i - r - 1];
    out[i * outStep] = static_cast<std::uint8_t>((sum + window / 2) / window);
  }
}

}  // namespace

void blurAlpha(std::uint8_t* pixels, int width, int height, int stride, double sigma) {
  if (!(sigma >= 0.5) || width <= 0 || height <= 0) return;
  // Box radii whose three passes together match the Gaussian's variance.
  double ideal = std::sqrt(12 * sigma * sigma / 3 + 1);
  int lower = static_cast<int>(std::floor(ideal));
  if (lower % 2 == 0) --lower;
  int upper = lower + 2;
  double m =
      (12 * sigma * sigma - 3.0 * lower * lower - 4.0 * 3 * lower - 3.0 * 3) / (-4.0 * lower - 4);
  int countLower = static_cast<int>(std::lround(m));
  int radii[3];
  for (int i = 0; i < 3; ++i) radii[i] = ((i < countLower ? lower : upper) - 1) / 2;

  std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max(width, height)));
  for (int r : radii) {
    if (r <= 0) continue;
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
      std::copy(row, row + width, line.begin());
      boxLine(line.data(), row, width, 1, r);
    }
    for (int x = 0; x < width; ++x) {
      for (int y = 0; y < height; ++y)
        line[y] = pixels[static_cast<std::ptrdiff_t>(y) * stride + x];
      boxLine(line.data(), pixels + x, height, stride, r);
    }
  }
}

}  // namespace velmoradine
