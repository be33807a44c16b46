#include "velmoradine/platform/graphics/layer_constants.hpp"

#include <array>
#include <utility>

namespace velmoradine {
namespace {

template <typename E, std::size_t N>
using Names = std::array<std::pair<E, std::string_view>, N>;

constexpr Names<ContentsGravity, 12> kGravities = {{
    {ContentsGravity::center, "center"},
    {ContentsGravity::top, "top"},
    {ContentsGravity::bottom, "bottom"},
    {ContentsGravity::left, "left"},
    {ContentsGravity::right, "right"},
    {ContentsGravity::topLeft, "topLeft"},
    {ContentsGravity::topRight, "topRight"},
    {ContentsGravity::bottomLeft, "bottomLeft"},
    {ContentsGravity::bottomRight, "bottomRight"},
    {ContentsGravity::resize, "resize"},
    {ContentsGravity::resizeAspect, "resizeAspect"},
    {ContentsGravity::resizeAspectFill, "resizeAspectFill"},
}};
constexpr Names<ContentsFilter, 3> kFilters = {{
    {ContentsFilter::linear, "linear"},
    {ContentsFilter::nearest, "nearest"},
    {ContentsFilter::trilinear, "trilinear"},
}};
constexpr Names<ContentsFormat, 3> kFormats = {{
    {ContentsFormat::RGBA8Uint, "RGBA8Uint"},
    {ContentsFormat::RGBA16Float, "RGBA16Float"},
    {ContentsFormat::gray8Uint, "gray8Uint"},
}};
constexpr Names<CornerCurve, 2> kCurves = {{
    {CornerCurve::circular, "circular"},
    {CornerCurve::continuous, "continuous"},
}};
constexpr Names<TextLayerAlignmentMode, 5> kAlignments = {{
    {TextLayerAlignmentMode::natural, "natural"},
    {TextLayerAlignmentMode::left, "left"},
    {TextLayerAlignmentMode::right, "right"},
    {TextLayerAlignmentMode::center, "center"},
    {TextLayerAlignmentMode::justified, "justified"},
}};
constexpr Names<TextLayerTruncationMode, 4> kTruncations = {{
    {TextLayerTruncationMode::none, "none"},
    {TextLayerTruncationMode::start, "start"},
    {TextLayerTruncationMode::end, "end"},
    {TextLayerTruncationMode::middle, "middle"},
}};

template <typename E, std::size_t N>
std::string_view lookupName(const Names<E, N>& names, E value) {
  for (const auto& [constant, text] : names) {
    if (constant == value) return text;
  }
  return {};
}

template <typename E, std::size_t N>
std::optional<E> lookupConstant(const Names<E, N>& names, std::string_view text) {
  for (const auto& [constant, name] : names) {
    if (name == text) return constant;
  }
  return std::nullopt;
}

}  // namespace

std::string_view name(ContentsGravity value) {
  return lookupName(kGravities, value);
}
std::string_view name(ContentsFilter value) {
  return lookupName(kFilters, value);
}
std::string_view name(ContentsFormat value) {
  return lookupName(kFormats, value);
}
std::string_view name(CornerCurve value) {
  return lookupName(kCurves, value);
}
std::string_view name(TextLayerAlignmentMode value) {
  return lookupName(kAlignments, value);
}
std::string_view name(TextLayerTruncationMode value) {
  return lookupName(kTruncations, value);
}

template <>
std::optional<ContentsGravity> constantNamed(std::string_view text) {
  return lookupConstant(kGravities, text);
}
template <>
std::optional<ContentsFilter> constantNamed(std::string_view text) {
  return lookupConstant(kFilters, text);
}
template <>
std::optional<ContentsFormat> constantNamed(std::string_view text) {
  return lookupConstant(kFormats, text);
}
template <>
std::optional<CornerCurve> constantNamed(std::string_view text) {
  return lookupConstant(kCurves, text);
}
template <>
std::optional<TextLayerAlignmentMode> constantNamed(std::string_view text) {
  return lookupConstant(kAlignments, text);
}
template <>
std::optional<TextLayerTruncationMode> constantNamed(std::string_view text) {
  return lookupConstant(kTruncations, text);
}

}  // namespace velmoradine
