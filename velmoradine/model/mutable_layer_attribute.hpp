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
    contents,
    contentsRect,
    contentsCenter,
    contentsGravity,
    opacity,
    isHidden,
    masksToBounds,
    mask,
    isDoubleSided,
    cornerRadius,
    maskedCorners,
    borderColor,
    borderWidth,
    backgroundColor,
    shadowOpacity,
    shadowRadius,
    shadowOffset,
    shadowColor,
    shadowPath,
    style,
    allowsEdgeAntialiasing,
    allowsGroupOpacity,
    filters,
    minificationFilterBias,
    magnificationFilter,
    isOpaque,
    edgeAntialiasingMask,
    isGeometryFlipped,
    drawsAsynchronously,
    shouldRasterize,
    rasterizationScale,
    contentsFormat,
    frame,
    bounds,
    position,
    zPosition,
    anchorPointZ,
    anchorPoint,
    contentsScale,
    transform,
    sublayerTransform,
    sublayers,
    actions,
    name,
    cornerCurve,
    isWrapped,
    alignmentMode,
    truncationMode,
    string,
    font,
    fontSize,
    foregroundColor,
    allowsFontSubpixelQuantization,
  };
  using Payload =
      std::variant<std::optional<Image>, Rect, ContentsGravity, float, bool, std::shared_ptr<Layer>,
                   double, CornerMaskSet, std::optional<Color>, Size, std::optional<Path>,
                   LayerDictionary, ContentsFilter, EdgeMaskSet, ContentsFormat, Point, Transform3D,
                   std::vector<std::shared_ptr<Layer>>, std::string, CornerCurve,
                   TextLayerAlignmentMode, TextLayerTruncationMode, std::optional<TextString>,
                   Font>;

  static MutableLayerAttribute contents(std::optional<Image> value) {
    return {Case::contents, Payload(std::in_place_type<std::optional<Image>>, std::move(value))};
  }
  static MutableLayerAttribute contentsRect(Rect value) {
    return {Case::contentsRect, Payload(std::in_place_type<Rect>, std::move(value))};
  }
  static MutableLayerAttribute contentsCenter(Rect value) {
    return {Case::contentsCenter, Payload(std::in_place_type<Rect>, std::move(value))};
  }
  static MutableLayerAttribute contentsGravity(ContentsGravity value) {
    return {Case::contentsGravity, Payload(std::in_place_type<ContentsGravity>, value)};
  }
  static MutableLayerAttribute opacity(float value) {
    return {Case::opacity, Payload(std::in_place_type<float>, value)};
  }
  static MutableLayerAttribute isHidden(bool value) {
    return {Case::isHidden, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute masksToBounds(bool value) {
    return {Case::masksToBounds, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute mask(std::shared_ptr<Layer> value) {
    return {Case::mask, Payload(std::in_place_type<std::shared_ptr<Layer>>, std::move(value))};
  }
  static MutableLayerAttribute isDoubleSided(bool value) {
    return {Case::isDoubleSided, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute cornerRadius(double value) {
    return {Case::cornerRadius, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute maskedCorners(CornerMaskSet value) {
    return {Case::maskedCorners, Payload(std::in_place_type<CornerMaskSet>, value)};
  }
  static MutableLayerAttribute borderColor(std::optional<Color> value) {
    return {Case::borderColor, Payload(std::in_place_type<std::optional<Color>>, std::move(value))};
  }
  static MutableLayerAttribute borderWidth(double value) {
    return {Case::borderWidth, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute backgroundColor(std::optional<Color> value) {
    return {Case::backgroundColor,
            Payload(std::in_place_type<std::optional<Color>>, std::move(value))};
  }
  static MutableLayerAttribute shadowOpacity(float value) {
    return {Case::shadowOpacity, Payload(std::in_place_type<float>, value)};
  }
  static MutableLayerAttribute shadowRadius(double value) {
    return {Case::shadowRadius, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute shadowOffset(Size value) {
    return {Case::shadowOffset, Payload(std::in_place_type<Size>, std::move(value))};
  }
  static MutableLayerAttribute shadowColor(std::optional<Color> value) {
    return {Case::shadowColor, Payload(std::in_place_type<std::optional<Color>>, std::move(value))};
  }
  static MutableLayerAttribute shadowPath(std::optional<Path> value) {
    return {Case::shadowPath, Payload(std::in_place_type<std::optional<Path>>, std::move(value))};
  }
  static MutableLayerAttribute style(LayerDictionary value) {
    return {Case::style, Payload(std::in_place_type<LayerDictionary>, std::move(value))};
  }
  static MutableLayerAttribute allowsEdgeAntialiasing(bool value) {
    return {Case::allowsEdgeAntialiasing, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute allowsGroupOpacity(bool value) {
    return {Case::allowsGroupOpacity, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute filters(LayerDictionary value) {
    return {Case::filters, Payload(std::in_place_type<LayerDictionary>, std::move(value))};
  }
  static MutableLayerAttribute minificationFilterBias(float value) {
    return {Case::minificationFilterBias, Payload(std::in_place_type<float>, value)};
  }
  static MutableLayerAttribute magnificationFilter(ContentsFilter value) {
    return {Case::magnificationFilter, Payload(std::in_place_type<ContentsFilter>, value)};
  }
  static MutableLayerAttribute isOpaque(bool value) {
    return {Case::isOpaque, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute edgeAntialiasingMask(EdgeMaskSet value) {
    return {Case::edgeAntialiasingMask, Payload(std::in_place_type<EdgeMaskSet>, value)};
  }
  static MutableLayerAttribute isGeometryFlipped(bool value) {
    return {Case::isGeometryFlipped, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute drawsAsynchronously(bool value) {
    return {Case::drawsAsynchronously, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute shouldRasterize(bool value) {
    return {Case::shouldRasterize, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute rasterizationScale(double value) {
    return {Case::rasterizationScale, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute contentsFormat(ContentsFormat value) {
    return {Case::contentsFormat, Payload(std::in_place_type<ContentsFormat>, value)};
  }
  static MutableLayerAttribute frame(Rect value) {
    return {Case::frame, Payload(std::in_place_type<Rect>, std::move(value))};
  }
  static MutableLayerAttribute bounds(Rect value) {
    return {Case::bounds, Payload(std::in_place_type<Rect>, std::move(value))};
  }
  static MutableLayerAttribute position(Point value) {
    return {Case::position, Payload(std::in_place_type<Point>, std::move(value))};
  }
  static MutableLayerAttribute zPosition(double value) {
    return {Case::zPosition, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute anchorPointZ(double value) {
    return {Case::anchorPointZ, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute anchorPoint(Point value) {
    return {Case::anchorPoint, Payload(std::in_place_type<Point>, std::move(value))};
  }
  static MutableLayerAttribute contentsScale(double value) {
    return {Case::contentsScale, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute transform(Transform3D value) {
    return {Case::transform, Payload(std::in_place_type<Transform3D>, std::move(value))};
  }
  static MutableLayerAttribute sublayerTransform(Transform3D value) {
    return {Case::sublayerTransform, Payload(std::in_place_type<Transform3D>, std::move(value))};
  }
  static MutableLayerAttribute sublayers(std::vector<std::shared_ptr<Layer>> value) {
    return {Case::sublayers,
            Payload(std::in_place_type<std::vector<std::shared_ptr<Layer>>>, std::move(value))};
  }
  static MutableLayerAttribute actions(LayerDictionary value) {
    return {Case::actions, Payload(std::in_place_type<LayerDictionary>, std::move(value))};
  }
  static MutableLayerAttribute name(std::string value) {
    return {Case::name, Payload(std::in_place_type<std::string>, std::move(value))};
  }
  static MutableLayerAttribute cornerCurve(CornerCurve value) {
    return {Case::cornerCurve, Payload(std::in_place_type<CornerCurve>, value)};
  }
  static MutableLayerAttribute isWrapped(bool value) {
    return {Case::isWrapped, Payload(std::in_place_type<bool>, value)};
  }
  static MutableLayerAttribute alignmentMode(TextLayerAlignmentMode value) {
    return {Case::alignmentMode, Payload(std::in_place_type<TextLayerAlignmentMode>, value)};
  }
  static MutableLayerAttribute truncationMode(TextLayerTruncationMode value) {
    return {Case::truncationMode, Payload(std::in_place_type<TextLayerTruncationMode>, value)};
  }
  static MutableLayerAttribute string(std::optional<TextString> value) {
    return {Case::string, Payload(std::in_place_type<std::optional<TextString>>, std::move(value))};
  }
  static MutableLayerAttribute font(Font value) {
    return {Case::font, Payload(std::in_place_type<Font>, std::move(value))};
  }
  static MutableLayerAttribute fontSize(double value) {
    return {Case::fontSize, Payload(std::in_place_type<double>, value)};
  }
  static MutableLayerAttribute foregroundColor(std::optional<Color> value) {
    return {Case::foregroundColor,
            Payload(std::in_place_type<std::optional<Color>>, std::move(value))};
  }
  static MutableLayerAttribute allowsFontSubpixelQuantization(bool value) {
    return {Case::allowsFontSubpixelQuantization, Payload(std::in_place_type<bool>, value)};
  }

  Case kind() const { return kind_; }
  const Payload& payload() const { return payload_; }
  template <typename T>
  const T& value() const {
    return std::get<T>(payload_);
  }
  // Whether the case only exists on text layers.
  bool isTextLayerAttribute() const { return kind_ >= Case::isWrapped; }
  // The case's name and its payload, for instance "isWrapped(true)".
  std::string description() const;

 private:
  MutableLayerAttribute(Case kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}
  Case kind_;
  Payload payload_;
};

std::string_view caseName(MutableLayerAttribute::Case kind);

// One key per case except `isOpaque`, in the same order; each key's text is
// its case's name. Keys have no integer form.
enum class MutableLayerAttributeCodingKeys {
  contents,
  contentsRect,
  contentsCenter,
  contentsGravity,
  opacity,
  isHidden,
  masksToBounds,
  mask,
  isDoubleSided,
  cornerRadius,
  maskedCorners,
  borderColor,
  borderWidth,
  backgroundColor,
  shadowOpacity,
  shadowRadius,
  shadowOffset,
  shadowColor,
  shadowPath,
  style,
  allowsEdgeAntialiasing,
  allowsGroupOpacity,
  filters,
  minificationFilterBias,
  magnificationFilter,
  edgeAntialiasingMask,
  isGeometryFlipped,
  drawsAsynchronously,
  shouldRasterize,
  rasterizationScale,
  contentsFormat,
  frame,
  bounds,
  position,
  zPosition,
  anchorPointZ,
  anchorPoint,
  contentsScale,
  transform,
  sublayerTransform,
  sublayers,
  actions,
  name,
  cornerCurve,
  isWrapped,
  alignmentMode,
  truncationMode,
  string,
  font,
  fontSize,
  foregroundColor,
  allowsFontSubpixelQuantization,
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
