#include "velmoradine/platform/uikit/view_raster.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

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

bool hasBackground(const Layer& layer) {
  return layer.backgroundColor() && layer.backgroundColor()->alpha > 0;
}

bool hasBorder(const Layer& layer) {
  return layer.borderWidth() > 0 && layer.borderColor() && layer.borderColor()->alpha > 0;
}

bool drawsNothing(const Layer& layer, const LayerPart& part) {
  bool own = part.ownDrawing && (hasBackground(layer) || hasBorder(layer) || layer.contents());
  return !own && part.firstSublayer >= part.endSublayer;
}

// Shapes of a single colour are cheaper drawn where they land than drawn once
// at the model's size and scaled on every frame.
bool isPlainDrawing(const Layer& layer, const LayerPart& part) {
  bool sublayers = std::min(part.endSublayer, layer.sublayers().size()) > part.firstSublayer;
  return part.ownDrawing && !layer.contents() && !sublayers &&
         (hasBackground(layer) || hasBorder(layer));
}

// Shows only `part` of the layer until destroyed.
class PartOnly {
 public:
  PartOnly(Layer& layer, const LayerPart& part) : layer_(layer) {
    const auto& sublayers = layer.sublayers();
    for (std::size_t i = 0; i < sublayers.size(); ++i) {
      if (i >= part.firstSublayer && i < part.endSublayer) continue;
      if (sublayers[i]->isHidden()) continue;
      sublayers[i]->setHidden(true);
      hidden_.push_back(sublayers[i]);
    }
    if (part.ownDrawing) return;
    background_ = layer.backgroundColor();
    borderWidth_ = layer.borderWidth();
    contents_ = layer.contents();
    layer.setBackgroundColor(std::nullopt);
    layer.setBorderWidth(0);
    layer.setContents(std::nullopt);
    cleared_ = true;
  }
  ~PartOnly() {
    for (const auto& sublayer : hidden_) sublayer->setHidden(false);
    if (!cleared_) return;
    layer_.setBackgroundColor(background_);
    layer_.setBorderWidth(borderWidth_);
    layer_.setContents(contents_);
  }
  PartOnly(const PartOnly&) = delete;
  PartOnly& operator=(const PartOnly&) = delete;

 private:
  Layer& layer_;
  std::vector<std::shared_ptr<Layer>> hidden_;
  bool cleared_ = false;
  std::optional<Color> background_;
  double borderWidth_ = 0;
  std::optional<Image> contents_;
};

// A layer that shows only its contents (a video frame, an image) is
// composited from the contents as they are, without drawing them again at
// the screen's scale first.
bool showsContentsAlone(const Layer& layer) {
  return layer.contents() && !hasBackground(layer) && !hasBorder(layer) &&
         layer.sublayers().empty();
}

// Draws the layer alone, untransformed and opaque, with its bounds filling
// the bitmap; what places and fades it is the compositor's business.
std::optional<Bitmap> rasterize(Layer& layer, double scale, const LayerPart& part) {
  Size size = layer.bounds().standardized().size;
  int width = static_cast<int>(std::ceil(size.width * scale));
  int height = static_cast<int>(std::ceil(size.height * scale));
  if (drawsNothing(layer, part) || width <= 0 || height <= 0 || width > Bitmap::kMaximumDimension ||
      height > Bitmap::kMaximumDimension) {
    return std::nullopt;
  }
  PartOnly only(layer, part);
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
  return bitmap;
}

}  // namespace

bool ViewRaster::refresh(UIView& view, double scale, const LayerPart& part) {
  Layer& layer = *view.layer();
  bool contentChanged = view.displayVersion() != displayVersion_ ||
                        layer.bounds().size != look_.bounds.size || scale != scale_;
  if (!contentChanged && lookOf(layer) == look_ && part == part_) return false;
  if (contentChanged && part.ownDrawing) view.displayLayer();
  displayVersion_ = view.displayVersion();
  scale_ = scale;
  look_ = lookOf(layer);
  part_ = part;
  contentsAlone_ = part.ownDrawing && showsContentsAlone(layer);
  plain_ = isPlainDrawing(layer, part);
  image_.reset();
  pieces_.clear();
  ++generation_;
  if (contentsAlone_) {
    image_ = layer.contents();
    return true;
  }
  if (plain_) return false;
  std::optional<Bitmap> raster = rasterize(layer, scale, part);
  if (!raster) return false;
  if (part.ownDrawing) {
    image_ = Image(std::move(*raster), scale);
  } else {
    pieces_ = cutIntoPieces(*raster, scale);
  }
  return true;
}

}  // namespace velmoradine
