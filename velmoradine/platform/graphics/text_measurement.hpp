#pragma once

// The size a line (or lines) of plain text takes when a text layer draws it
// with the same face and size, so that a view can size and place its text
// layers before drawing. Any thread.

#include <string_view>

#include "velmoradine/platform/graphics/font.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

struct TextMetrics {
  Size size;            // the logical extent, in points
  double baseline = 0;  // from the top of the first line, in points
  friend bool operator==(const TextMetrics&, const TextMetrics&) = default;
};

// `text` laid out in `font` (its point size counts); line breaks start new
// lines. An empty text or a non-positive size measures zero.
TextMetrics measureText(std::string_view text, const Font& font);

}  // namespace velmoradine
