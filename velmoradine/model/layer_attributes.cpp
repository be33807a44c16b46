#include "velmoradine/model/layer_attributes.hpp"

#include "velmoradine/core/logger.hpp"

namespace velmoradine {
namespace {

void logRefused(const MutableLayerAttribute& attribute) {
  UGCLogger::log(
      "This Layer attribute would make the layer its own ancestor. Ignoring attribute. "
      "layerAttribute " +
      attribute.description());
}

}  // namespace

void applyAttribute(Layer& layer, const MutableLayerAttribute& attribute,
                    LayerPlatformVersion version) {
  auto* textLayer = layer.isTextLayer() ? static_cast<TextLayer*>(&layer) : nullptr;
  if (attribute.isTextLayerAttribute() && textLayer == nullptr) {
    UGCLogger::log(
        "This Layer attribute does not exist for this layer type.  Ignoring attribute, but "
        "preceding creating "
        "layer. layerAttribute " +
        attribute.description());
    return;
  }
  switch (attribute.kind()) {
    case MutableLayerAttribute::Case::contents:
      layer.setContents(attribute.value<std::optional<Image>>());
      return;
    case MutableLayerAttribute::Case::contentsRect:
      layer.setContentsRect(attribute.value<Rect>());
      return;
    case MutableLayerAttribute::Case::contentsCenter:
      layer.setContentsCenter(attribute.value<Rect>());
      return;
    case MutableLayerAttribute::Case::contentsGravity:
      layer.setContentsGravity(attribute.value<ContentsGravity>());
      return;
    case MutableLayerAttribute::Case::opacity:
      layer.setOpacity(attribute.value<float>());
      return;
    case MutableLayerAttribute::Case::isHidden:
      layer.setHidden(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::masksToBounds:
      layer.setMasksToBounds(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::mask:
      if (!layer.setMask(attribute.value<std::shared_ptr<Layer>>())) logRefused(attribute);
      return;
    case MutableLayerAttribute::Case::isDoubleSided:
      layer.setDoubleSided(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::cornerRadius:
      layer.setCornerRadius(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::maskedCorners:
      if (version.isAtLeast(11, 0)) layer.setMaskedCorners(attribute.value<CornerMaskSet>());
      return;
    case MutableLayerAttribute::Case::borderColor:
      layer.setBorderColor(attribute.value<std::optional<Color>>());
      return;
    case MutableLayerAttribute::Case::borderWidth:
      layer.setBorderWidth(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::backgroundColor:
      layer.setBackgroundColor(attribute.value<std::optional<Color>>());
      return;
    case MutableLayerAttribute::Case::shadowOpacity:
      layer.setShadowOpacity(attribute.value<float>());
      return;
    case MutableLayerAttribute::Case::shadowRadius:
      layer.setShadowRadius(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::shadowOffset:
      layer.setShadowOffset(attribute.value<Size>());
      return;
    case MutableLayerAttribute::Case::shadowColor:
      layer.setShadowColor(attribute.value<std::optional<Color>>());
      return;
    case MutableLayerAttribute::Case::shadowPath:
      layer.setShadowPath(attribute.value<std::optional<Path>>());
      return;
    case MutableLayerAttribute::Case::style:
      layer.setStyle(attribute.value<LayerDictionary>());
      return;
    case MutableLayerAttribute::Case::allowsEdgeAntialiasing:
      layer.setAllowsEdgeAntialiasing(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::allowsGroupOpacity:
      layer.setAllowsGroupOpacity(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::filters:
      layer.setFilters(attribute.value<LayerDictionary>());
      return;
    case MutableLayerAttribute::Case::minificationFilterBias:
      layer.setMinificationFilterBias(attribute.value<float>());
      return;
    case MutableLayerAttribute::Case::magnificationFilter:
      layer.setMagnificationFilter(attribute.value<ContentsFilter>());
      return;
    case MutableLayerAttribute::Case::isOpaque:
      layer.setOpaque(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::edgeAntialiasingMask:
      layer.setEdgeAntialiasingMask(attribute.value<EdgeMaskSet>());
      return;
    case MutableLayerAttribute::Case::isGeometryFlipped:
      layer.setGeometryFlipped(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::drawsAsynchronously:
      layer.setDrawsAsynchronously(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::shouldRasterize:
      layer.setShouldRasterize(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::rasterizationScale:
      layer.setRasterizationScale(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::contentsFormat:
      layer.setContentsFormat(attribute.value<ContentsFormat>());
      return;
    case MutableLayerAttribute::Case::frame:
      layer.setFrame(attribute.value<Rect>());
      return;
    case MutableLayerAttribute::Case::bounds:
      layer.setBounds(attribute.value<Rect>());
      return;
    case MutableLayerAttribute::Case::position:
      layer.setPosition(attribute.value<Point>());
      return;
    case MutableLayerAttribute::Case::zPosition:
      layer.setZPosition(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::anchorPointZ:
      layer.setAnchorPointZ(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::anchorPoint:
      layer.setAnchorPoint(attribute.value<Point>());
      return;
    case MutableLayerAttribute::Case::contentsScale:
      layer.setContentsScale(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::transform:
      layer.setTransform(attribute.value<Transform3D>());
      return;
    case MutableLayerAttribute::Case::sublayerTransform:
      layer.setSublayerTransform(attribute.value<Transform3D>());
      return;
    case MutableLayerAttribute::Case::sublayers:
      if (!layer.setSublayers(attribute.value<std::vector<std::shared_ptr<Layer>>>()))
        logRefused(attribute);
      return;
    case MutableLayerAttribute::Case::actions:
      layer.setActions(attribute.value<LayerDictionary>());
      return;
    case MutableLayerAttribute::Case::name:
      layer.setName(attribute.value<std::string>());
      return;
    case MutableLayerAttribute::Case::cornerCurve:
      if (version.isAtLeast(13, 0)) layer.setCornerCurve(attribute.value<CornerCurve>());
      return;
    case MutableLayerAttribute::Case::isWrapped:
      textLayer->setWrapped(attribute.value<bool>());
      return;
    case MutableLayerAttribute::Case::alignmentMode:
      textLayer->setAlignmentMode(attribute.value<TextLayerAlignmentMode>());
      return;
    case MutableLayerAttribute::Case::truncationMode:
      textLayer->setTruncationMode(attribute.value<TextLayerTruncationMode>());
      return;
    case MutableLayerAttribute::Case::string:
      textLayer->setString(attribute.value<std::optional<TextString>>());
      return;
    case MutableLayerAttribute::Case::font:
      textLayer->setFont(attribute.value<Font>());
      return;
    case MutableLayerAttribute::Case::fontSize:
      textLayer->setFontSize(attribute.value<double>());
      return;
    case MutableLayerAttribute::Case::foregroundColor:
      textLayer->setForegroundColor(attribute.value<std::optional<Color>>());
      return;
    case MutableLayerAttribute::Case::allowsFontSubpixelQuantization:
      textLayer->setAllowsFontSubpixelQuantization(attribute.value<bool>());
      return;
  }
}

void applyAttributes(Layer& layer, const std::vector<MutableLayerAttribute>& layerAttributes,
                     LayerPlatformVersion version) {
  for (const MutableLayerAttribute& attribute : layerAttributes)
    applyAttribute(layer, attribute, version);
}

AffineTransform transformToExpectedAssetScale(const Layer& layer, Size outputLayerSize,
                                              Size assetSize) {
  Rect frame = layer.frame();
  double scale = assetSize.width >= assetSize.height ? frame.size.width / assetSize.width
                                                     : frame.size.height / assetSize.height;
  double sx = outputLayerSize.width / frame.size.width * scale;
  double sy = outputLayerSize.height / frame.size.height * scale;
  return AffineTransform::makeScale(sx, sy);
}

}  // namespace velmoradine
