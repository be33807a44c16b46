#include "velmoradine/model/mutable_layer_attribute.hpp"

#include <charconv>
#include <cmath>
#include <type_traits>

namespace velmoradine {
namespace {

constexpr std::string_view kCaseNames[] = {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, ...) #caseName,
#include "velmoradine/model/layer_attribute_table.inc"
};

constexpr bool kTextLayerOnly[] = {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, Type, Receiver, ...) \
  std::is_same_v<Receiver, TextLayer>,
#include "velmoradine/model/layer_attribute_table.inc"
};

// Numbers as the shortest text that reads back to the same value; whole
// numbers keep a ".0".
template <typename Number>
std::string numberText(Number value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, end);
  if (text.find_first_of(".en") == std::string::npos) text += ".0";
  return text;
}

std::string quotedText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Appended piece by piece: GCC 12 misreports `"literal" + std::string`
// chains as overlapping copies.
std::string layerText(const std::shared_ptr<Layer>& layer) {
  if (!layer) return "nil";
  std::string text = layer->isTextLayer() ? "<TextLayer" : "<Layer";
  if (layer->name()) {
    text += ' ';
    text += quotedText(*layer->name());
  }
  text += '>';
  return text;
}

// "(a, b, …)" of the numbers.
std::string tupleText(std::initializer_list<double> values) {
  std::string text = "(";
  for (double value : values) {
    if (text.size() > 1) text += ", ";
    text += numberText(value);
  }
  text += ')';
  return text;
}

struct PayloadText {
  std::string operator()(const std::optional<Image>& image) const {
    if (!image) return "nil";
    std::string text = "<Image ";
    text += std::to_string(image->pixelWidth());
    text += 'x';
    text += std::to_string(image->pixelHeight());
    text += " @";
    text += numberText(image->scale());
    text += "x>";
    return text;
  }
  std::string operator()(const Rect& r) const {
    return tupleText({r.origin.x, r.origin.y, r.size.width, r.size.height});
  }
  std::string operator()(const Size& s) const { return tupleText({s.width, s.height}); }
  std::string operator()(const Point& p) const { return tupleText({p.x, p.y}); }
  std::string operator()(float v) const { return numberText(v); }
  std::string operator()(double v) const { return numberText(v); }
  std::string operator()(bool v) const { return v ? "true" : "false"; }
  std::string operator()(ContentsGravity v) const { return std::string(name(v)); }
  std::string operator()(ContentsFilter v) const { return std::string(name(v)); }
  std::string operator()(ContentsFormat v) const { return std::string(name(v)); }
  std::string operator()(CornerCurve v) const { return std::string(name(v)); }
  std::string operator()(TextLayerAlignmentMode v) const { return std::string(name(v)); }
  std::string operator()(TextLayerTruncationMode v) const { return std::string(name(v)); }
  std::string operator()(const CornerMaskSet& v) const {
    return "CornerMask(rawValue: " + std::to_string(v.rawValue) + ")";
  }
  std::string operator()(const EdgeMaskSet& v) const {
    return "EdgeAntialiasingMask(rawValue: " + std::to_string(v.rawValue) + ")";
  }
  std::string operator()(const std::shared_ptr<Layer>& layer) const { return layerText(layer); }
  std::string operator()(const std::vector<std::shared_ptr<Layer>>& layers) const {
    std::string text = "[";
    for (std::size_t i = 0; i < layers.size(); ++i) text += (i ? ", " : "") + layerText(layers[i]);
    return text + "]";
  }
  std::string operator()(const std::optional<Color>& color) const {
    return color ? color->hexString() : "nil";
  }
  std::string operator()(const std::optional<Path>& path) const {
    return path ? "<Path " + std::to_string(path->elements().size()) + " elements>" : "nil";
  }
  std::string operator()(const LayerDictionary& value) const {
    return value.is_null() ? "nil" : value.dump();
  }
  std::string operator()(const Transform3D& t) const {
    std::string text = "(";
    auto rows = t.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) text += (i ? ", " : "") + numberText(rows[i]);
    return text + ")";
  }
  std::string operator()(const std::string& text) const { return quotedText(text); }
  std::string operator()(const std::optional<TextString>& text) const {
    if (!text) return "nil";
    if (const auto* plain = std::get_if<std::string>(&*text)) return quotedText(*plain);
    const auto& attributed = std::get<AttributedString>(*text);
    return "<AttributedString " + quotedText(attributed.string) + " " +
           std::to_string(attributed.runs.size()) + " runs>";
  }
  std::string operator()(const Font& font) const { return quotedText(font.name()); }
};

}  // namespace

std::string_view caseName(MutableLayerAttribute::Case kind) {
  return kCaseNames[static_cast<std::size_t>(kind)];
}

bool MutableLayerAttribute::isTextLayerAttribute() const {
  return kTextLayerOnly[static_cast<std::size_t>(kind_)];
}

std::string MutableLayerAttribute::description() const {
  return std::string(caseName(kind_)) + "(" + std::visit(PayloadText{}, payload_) + ")";
}

const std::vector<MutableLayerAttributeCodingKeys>& allCodingKeys() {
  static const std::vector<MutableLayerAttributeCodingKeys> keys = {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, ...) MutableLayerAttributeCodingKeys::caseName,
#define VELMORADINE_UNKEYED_LAYER_ATTRIBUTE(...)
#include "velmoradine/model/layer_attribute_table.inc"
  };
  return keys;
}

std::string_view stringValue(MutableLayerAttributeCodingKeys key) {
  switch (key) {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, ...) \
  case MutableLayerAttributeCodingKeys::caseName:  \
    return #caseName;
#define VELMORADINE_UNKEYED_LAYER_ATTRIBUTE(...)
#include "velmoradine/model/layer_attribute_table.inc"
  }
  return {};
}

std::optional<MutableLayerAttributeCodingKeys> codingKey(std::string_view text) {
  for (MutableLayerAttributeCodingKeys key : allCodingKeys()) {
    if (stringValue(key) == text) return key;
  }
  return std::nullopt;
}

}  // namespace velmoradine
