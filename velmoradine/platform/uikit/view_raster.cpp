#include "velmoradine/platform/uikit/view_raster.hpp"

#include <cmath>

#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {
namespace {

LayerLook lookOf(const Layer& layer) {
  return {layer.bounds(),        layer.backgroundColor(), layer.cornerRadius(),
          layer.maskedCorners(), layer.cornerCurve(),     layer.borderColor(),
          layer.borderWidth(),   layer.contents(),        layer.contentsGravity(),
          layer.masksToBounds(), layer.sublayers().size()};
}

bool drawsNothing(const Layer& layer) {
  bool background = layer.backgroundColor() && layer.backgroundColor()->alpha > 0;
  bool border = layer.borderWidth() > 0 && layer.borderColor() && layer.borderColor()->alpha > 0;
  return !background && !border && !layer.contents() && layer.sublayers().empty();
}

// A layer that shows only its contents (a video frame, an image) is
// composited from the contents as they are, without drawing them again at
// the screen's scale first.
bool showsContentsAlone(const Layer& layer) {
  bool background = layer.backgroundColor() && layer.backgroundColor()->alpha > 0;
  bool border = layer.borderWidth() > 0 && layer.borderColor() && layer.borderColor()->alpha > 0;
  return layer.contents() && !background && !border && layer.sublayers().empty();
}

// Draws the layer alone, untransformed and opaque, with its bounds filling
// the bitmap; what places and fades it is the compositor's business.
std::optional<Image> rasterize(Layer& layer, double scale) {
  Size size = layer.bounds().standardized().size;
  int width = static_cast<int>(std::ceil(size.width * scale));
  int height = static_cast<int>(std::ceil(size.height * scale));
  if (drawsNothing(layer) || width <= 0 || height <= 0 || width > Bitmap::kMaximumDimension ||
      height > Bitmap::kMaximumDimension) {
    return std::nullopt;
  }
  Point position = layer.position();
  Transform3D transform = layer.transform();
  float opacity = layer.opacity();
  bool hidden = layer.isHidden();
  layer.setPosition({layer.anchorPoint().x * size.width, layer.anchorPoint().y * size.height});
  layer.setTransform(Transform3D::identity());
  layer.setOpacity(1);
  layer.setHidden(false);
  Bitmap bitmap = LayerRenderer::render(
      layer, width, height,
      {.scale = scale, .origin = RenderOrigin::topLeft, .background = std::nullopt});
  layer.setPosition(position);
  layer.setTransform(transform);
  layer.setOpacity(opacity);
  layer.setHidden(hidden);
  return Image(std::move(bitmap), scale);
}

}  // namespace

bool ViewRaster::refresh(UIView& view, double scale) {
  Layer& layer = *view.layer();
  bool contentChanged = view.displayVersion() != displayVersion_ ||
                        layer.bounds().size != look_.bounds.size || scale != scale_;
  if (!contentChanged && lookOf(layer) == look_) return false;
  if (contentChanged) view.displayLayer();
  displayVersion_ = view.displayVersion();
  scale_ = scale;
  look_ = lookOf(layer);
  contentsAlone_ = showsContentsAlone(layer);
  image_ = contentsAlone_ ? layer.contents() : rasterize(layer, scale);
  ++generation_;
  return image_.has_value();
}

}  // namespace velmoradine
