#pragma once

// Internal: the cached raster of one view's own layer (without its
// subviews) at the screen's scale, redrawn only when what the layer draws
// has changed: after `setNeedsDisplay()`, a new bounds size, or a change to
// the layer's look (background, corners, border, contents, sublayers). A
// layer that shows nothing but its contents is not drawn at all: the
// contents are the raster.

#include <cstdint>
#include <optional>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/graphics/layer_constants.hpp"

namespace velmoradine {

class Layer;
class UIView;

// The properties of a layer that its raster depends on.
struct LayerLook {
  Rect bounds;
  std::optional<Color> backgroundColor;
  double cornerRadius = 0;
  CornerMaskSet maskedCorners;
  CornerCurve cornerCurve = CornerCurve::circular;
  std::optional<Color> borderColor;
  double borderWidth = 0;
  std::optional<Image> contents;
  ContentsGravity contentsGravity = ContentsGravity::resize;
  bool masksToBounds = false;
  std::size_t sublayerCount = 0;
  friend bool operator==(const LayerLook&, const LayerLook&) = default;
};

// Which part of a view's layer a raster draws: the layer's own drawing
// (background, contents, border) with the sublayers below its first subview,
// or only the sublayers drawn between two subviews or above the last.
struct LayerPart {
  std::size_t firstSublayer = 0;
  std::size_t endSublayer = 0;
  bool ownDrawing = true;
  friend bool operator==(const LayerPart&, const LayerPart&) = default;
};

class ViewRaster {
 public:
  // Brings the raster of `part` up to date; true when it was drawn again.
  bool refresh(UIView& view, double scale, const LayerPart& part);
  // None for a view whose layer draws nothing.
  const std::optional<Image>& image() const { return image_; }
  // Whether `image()` is the layer's contents itself, to be placed by the
  // layer's contents gravity, rather than a drawing of the whole bounds.
  bool isContentsAlone() const { return contentsAlone_; }
  // Changes whenever the raster is drawn again.
  std::uint64_t generation() const { return generation_; }

 private:
  std::optional<Image> image_;
  std::uint64_t generation_ = 0;
  std::uint64_t displayVersion_ = 0;
  LayerLook look_;
  LayerPart part_;
  double scale_ = 0;
  bool contentsAlone_ = false;
};

}  // namespace velmoradine
