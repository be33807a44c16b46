#include "velmoradine/model/layer_attributes.hpp"

#include <type_traits>

#include "velmoradine/core/logger.hpp"

namespace velmoradine {
namespace {

void logRefused(const MutableLayerAttribute& attribute) {
  UGCLogger::log(
      "This Layer attribute would make the layer its own ancestor. Ignoring attribute. "
      "layerAttribute " +
      attribute.description());
}

// Runs one setter; the setters that can refuse a value (a layer may not
// become its own ancestor) return whether they took it.
template <typename Setter>
void set(const MutableLayerAttribute& attribute, Setter setter) {
  if constexpr (std::is_same_v<decltype(setter()), bool>) {
    if (!setter()) logRefused(attribute);
  } else {
    setter();
  }
}

}  // namespace

void applyAttribute(Layer& layer, const MutableLayerAttribute& attribute,
                    LayerPlatformVersion version) {
  if (attribute.isTextLayerAttribute() && !layer.isTextLayer()) {
    UGCLogger::log(
        "This Layer attribute does not exist for this layer type.  Ignoring attribute, but "
        "preceding creating "
        "layer. layerAttribute " +
        attribute.description());
    return;
  }
  // Text-layer rows are reached only for text layers, so their cast holds.
  switch (attribute.kind()) {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, Type, Receiver, setter, since)              \
  case MutableLayerAttribute::Case::caseName:                                             \
    if (version.isAtLeast since) {                                                        \
      set(attribute,                                                                      \
          [&] { return static_cast<Receiver&>(layer).setter(attribute.value<Type>()); }); \
    }                                                                                     \
    return;
#include "velmoradine/model/layer_attribute_table.inc"
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
