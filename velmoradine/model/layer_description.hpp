#pragma once

// Layer trees described in JSON: each layer an object with "type" ("layer"
// or "text") and attributes keyed exactly as MutableLayerAttributeCodingKeys,
// applied in the object's key order through applyAttributes. docs/graphics.md
// gives the value form of every key. A description is checked whole before
// anything is built into a tree that is returned: an unknown key or an
// ill-typed value is an error naming the key and the layer's index path
// (for instance `layers[0].sublayers[2]`).

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "velmoradine/model/mutable_layer_attribute.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/layer.hpp"

namespace velmoradine {

enum class LayerDescriptionError {
  invalidJSON = 1,
  invalidDescription,
};
const ErrorCategory& layerDescriptionErrorCategory();
std::error_code make_error_code(LayerDescriptionError error);

// A description's JSON, with object keys in their written order. Refuses
// text that is not JSON (the detail says where and why) and documents nested
// deeper than the descriptions' walks can follow without exhausting the
// stack.
Result<nlohmann::ordered_json> parseDescriptionJSON(const std::string& text);

// The attribute that `key` names, with `value` read in the description's
// form. Image paths are relative to `baseDirectory`. `path` is the JSON path
// of the object holding the key; errors name `path.key`.
Result<MutableLayerAttribute> attributeFromDescription(const std::string& key,
                                                       const nlohmann::ordered_json& value,
                                                       const std::string& path,
                                                       const std::filesystem::path& baseDirectory);

// A layer (and its sub-layers and mask) built from one LAYER object.
Result<std::shared_ptr<Layer>> layerFromDescription(const nlohmann::ordered_json& description,
                                                    const std::string& path,
                                                    const std::filesystem::path& baseDirectory);

// {"size": [W, H], "background": "#RRGGBB" or "#RRGGBBAA", "layers": [LAYER, …]}
struct LayerTreeDescription {
  Size size;
  std::optional<Color> background;
  // A layer of `size` at the origin holding the described layers.
  std::shared_ptr<Layer> root;
};
Result<LayerTreeDescription> parseLayerTreeDescription(const std::string& json,
                                                       const std::filesystem::path& baseDirectory);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::LayerDescriptionError> : std::true_type {};
