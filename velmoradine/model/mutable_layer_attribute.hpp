#pragma once

// The declarative layer settings of UGC formats: one case per layer property,
// each carrying the value to assign. `MutableLayerAttributeCodingKeys` names
// the cases (all but `isOpaque`) for text forms of attributes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "velmoradine/platform/graphics/layer.hpp"

namespace velmoradine {

class MutableLayerAttribute {
 public:
  // The cases in declaration order; cases from `isWrapped` on apply to text
  // layers only.
  enum class Case {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, ...) caseName,
#include "velmoradine/model/layer_attribute_table.inc"
  };
  using Payload =
      std::variant<std::optional<Image>, Rect, ContentsGravity, float, bool, std::shared_ptr<Layer>,
                   double, CornerMaskSet, std::optional<Color>, Size, std::optional<Path>,
                   LayerDictionary, ContentsFilter, EdgeMaskSet, ContentsFormat, Point, Transform3D,
                   std::vector<std::shared_ptr<Layer>>, std::string, CornerCurve,
                   TextLayerAlignmentMode, TextLayerTruncationMode, std::optional<TextString>,
                   Font>;

  Case kind() const {
    return kind_;
  }
  const Payload& payload() const {
    return payload_;
  }
  template <typename T>
  const T& value() const {
    return std::get<T>(payload_);
  }
  // Whether the case only exists on text layers.
  bool isTextLayerAttribute() const;
  // The case's name and its payload, for instance "isWrapped(true)".
  std::string description() const;

  // One factory per case, named as the case, taking its payload.
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, Type, ...)                          \
  static MutableLayerAttribute caseName(Type value) {                             \
    return {Case::caseName, Payload(std::in_place_type<Type>, std::move(value))}; \
  }
#include "velmoradine/model/layer_attribute_table.inc"

 private:
  MutableLayerAttribute(Case kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}
  Case kind_;
  Payload payload_;
};

std::string_view caseName(MutableLayerAttribute::Case kind);

// One key per case except `isOpaque`, in the same order; each key's text is
// its case's name. Keys have no integer form.
enum class MutableLayerAttributeCodingKeys {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, ...) caseName,
#define VELMORADINE_UNKEYED_LAYER_ATTRIBUTE(...)
#include "velmoradine/model/layer_attribute_table.inc"
};

std::string_view stringValue(MutableLayerAttributeCodingKeys key);
inline std::optional<int> intValue(MutableLayerAttributeCodingKeys) {
  return std::nullopt;
}
// The key whose text is exactly `text`; none for any other text.
std::optional<MutableLayerAttributeCodingKeys> codingKey(std::string_view text);
inline std::optional<MutableLayerAttributeCodingKeys> codingKey(int) {
  return std::nullopt;
}
const std::vector<MutableLayerAttributeCodingKeys>& allCodingKeys();

}  // namespace velmoradine
