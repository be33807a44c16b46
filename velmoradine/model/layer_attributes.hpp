#pragma once

// Applying UGC layer attributes to layers, and the scale a video layer gives
// its track.

#include <vector>

#include "velmoradine/model/mutable_layer_attribute.hpp"
#include "velmoradine/platform/graphics/layer.hpp"

namespace velmoradine {

// Sets each attribute's property on `layer`, first to last, so a later
// attribute overrides an earlier one and related properties (frame against
// bounds, position and transform) interact as their setters do at that
// moment. `maskedCorners` needs platform version 11.0 and `cornerCurve` 13.0;
// on an older `version` they are skipped silently. Text-layer attributes on
// another kind of layer are skipped with one UGC log line each. A `mask` or
// `sublayers` value that would make the layer its own ancestor is skipped
// with a log line too.
void applyAttributes(Layer& layer, const std::vector<MutableLayerAttribute>& layerAttributes,
                     LayerPlatformVersion version = LayerPlatformVersion::current());
void applyAttribute(Layer& layer, const MutableLayerAttribute& layerAttribute,
                    LayerPlatformVersion version = LayerPlatformVersion::current());

// The pure scale (no translation) that maps a video of `assetSize` into
// `layer`'s frame within an output layer of `outputLayerSize`: landscape and
// square assets are fitted by width, portrait ones by height. A layer with an
// empty frame gives infinite or undefined factors.
AffineTransform transformToExpectedAssetScale(const Layer& layer, Size outputLayerSize,
                                              Size assetSize);

}  // namespace velmoradine
