#pragma once

// Internal: the cached raster of one view's own layer (without its
// subviews) at the scale the compositor asks for, redrawn only when what the
// layer draws has changed: after `setNeedsDisplay()`, a new bounds size or
// scale, or a change to the layer's look (background, corners, border,
// contents, sublayers). Two kinds of layer are not drawn at all: one that
// shows nothing but its contents (the contents are the raster), and one
// whose own drawing is only a plain background and border (`isPlain()`: the
// compositor draws those shapes directly, at whatever size they land on
// screen). The sublayers drawn above a subview are kept as the pieces of
// their raster that hold visible pixels.

#include <cstdint>
#include <optional>
#include <vector>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/graphics/layer_constants.hpp"
#include "velmoradine/platform/uikit/raster_pieces.hpp"

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
  // Brings the raster of `part` up to date at `scale` pixels per point; true
  // when it was drawn again.
  bool refresh(UIView& view, double scale, const LayerPart& part);
  // The raster of the layer's own drawing; none for a part of sublayers
  // only, a plain layer, or a layer that draws nothing.
  const std::optional<Image>& image() const { return image_; }
  // The visible pieces of a part of sublayers only.
  const std::vector<RasterPiece>& pieces() const { return pieces_; }
  // Whether the own drawing is nothing but a background colour and a border
  // (with the layer's corners), drawn by the compositor itself.
  bool isPlain() const { return plain_; }
  bool drawsAnything() const { return image_ || !pieces_.empty() || plain_; }
  // Whether `image()` is the layer's contents itself, to be placed by the
  // layer's contents gravity, rather than a drawing of the whole bounds.
  bool isContentsAlone() const { return contentsAlone_; }
  // Changes whenever the raster is drawn again.
  std::uint64_t generation() const { return generation_; }

 private:
  std::optional<Image> image_;
  std::vector<RasterPiece> pieces_;
  std::uint64_t generation_ = 0;
  std::uint64_t displayVersion_ = 0;
  LayerLook look_;
  LayerPart part_;
  double scale_ = 0;
  bool contentsAlone_ = false;
  bool plain_ = false;
};

}  // namespace velmoradine
