#include "velmoradine/platform/uikit/raster_pieces.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

namespace velmoradine {
namespace {

// Transparent gaps shorter than this stay inside one band: lines of text
// and antialiased edges would otherwise make many thin pieces.
constexpr int kMinimumGapRows = 16;

// The first and one past the last visible column of row `y`, if any.
std::optional<std::pair<int, int>> visibleColumns(const Bitmap& bitmap, int y) {
  const std::uint32_t* row = bitmap.row(y);
  int left = 0;
  while (left < bitmap.width() && (row[left] >> 24) == 0) ++left;
  if (left == bitmap.width()) return std::nullopt;
  int right = bitmap.width();
  while ((row[right - 1] >> 24) == 0) --right;
  return std::pair{left, right};
}

Bitmap crop(const Bitmap& source, const PixelRect& rect) {
  Bitmap piece = Bitmap::uninitialized(rect.width, rect.height);
  for (int y = 0; y < rect.height; ++y) {
    std::memcpy(piece.row(y), source.row(rect.y + y) + rect.x,
                static_cast<std::size_t>(rect.width) * sizeof(std::uint32_t));
  }
  return piece;
}

}  // namespace

std::vector<PixelRect> visibleBands(const Bitmap& bitmap) {
  std::vector<PixelRect> bands;
  int lastVisibleRow = -kMinimumGapRows - 1;
  for (int y = 0; y < bitmap.height(); ++y) {
    auto columns = visibleColumns(bitmap, y);
    if (!columns) continue;
    PixelRect row{columns->first, y, columns->second - columns->first, 1};
    if (!bands.empty() && y - lastVisibleRow <= kMinimumGapRows) {
      bands.back() = bands.back().unionWith(row);
    } else {
      bands.push_back(row);
    }
    lastVisibleRow = y;
  }
  return bands;
}

std::vector<RasterPiece> cutIntoPieces(const Bitmap& raster, double scale) {
  std::vector<RasterPiece> pieces;
  for (const PixelRect& band : visibleBands(raster)) {
    Rect frame(band.x / scale, band.y / scale, band.width / scale, band.height / scale);
    pieces.push_back({frame, Image(crop(raster, band), scale)});
  }
  return pieces;
}

}  // namespace velmoradine
