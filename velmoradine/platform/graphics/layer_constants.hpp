#pragma once

// The enumerated constants of layers, with their names as the layer model
// spells them ("resizeAspectFill", "center", "end"), for text forms and for
// descriptions read from files.

#include <optional>
#include <string_view>

namespace velmoradine {

enum class ContentsGravity {
  center,
  top,
  bottom,
  left,
  right,
  topLeft,
  topRight,
  bottomLeft,
  bottomRight,
  resize,
  resizeAspect,
  resizeAspectFill,
};

enum class ContentsFilter { linear, nearest, trilinear };

enum class ContentsFormat { RGBA8Uint, RGBA16Float, gray8Uint };

enum class CornerCurve { circular, continuous };

enum class TextLayerAlignmentMode { natural, left, right, center, justified };

enum class TextLayerTruncationMode { none, start, end, middle };

std::string_view name(ContentsGravity value);
std::string_view name(ContentsFilter value);
std::string_view name(ContentsFormat value);
std::string_view name(CornerCurve value);
std::string_view name(TextLayerAlignmentMode value);
std::string_view name(TextLayerTruncationMode value);

// The constant named exactly `text`, or none.
template <typename E>
std::optional<E> constantNamed(std::string_view text);

}  // namespace velmoradine
