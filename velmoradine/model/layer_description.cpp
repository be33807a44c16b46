#include "velmoradine/model/layer_description.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "velmoradine/model/layer_attributes.hpp"

namespace velmoradine {
namespace {

using Json = nlohmann::ordered_json;
using Case = MutableLayerAttributeCodingKeys;

class LayerDescriptionErrorCategory final : public ErrorCategory {
 public:
  const char* name() const noexcept override { return "Velmoradine.LayerDescription"; }
  std::string message(int value) const override {
    switch (static_cast<LayerDescriptionError>(value)) {
      case LayerDescriptionError::invalidJSON:
        return "The layer description is not valid JSON";
      case LayerDescriptionError::invalidDescription:
        return "The layer description is invalid";
    }
    return "The layer description is invalid";
  }
  std::string descriptionKey(int value, const std::string& detail) const override {
    return detail.empty() ? message(value) : message(value) + ": " + detail;
  }
};

Error invalid(const std::string& path, const std::string& key, const std::string& problem) {
  return Error(LayerDescriptionError::invalidDescription, path + ": \"" + key + "\": " + problem);
}

// Reads the value of one key; `fail` reports what was expected.
class Reader {
 public:
  Reader(std::string key, const Json& value, std::string path)
      : key_(std::move(key)), value_(value), path_(std::move(path)) {}

  Error expected(const std::string& what) const { return invalid(path_, key_, "expected " + what); }

  Result<double> number() const {
    if (!value_.is_number()) return failure(expected("a number"));
    return value_.get<double>();
  }
  Result<bool> boolean() const {
    if (!value_.is_boolean()) return failure(expected("true or false"));
    return value_.get<bool>();
  }
  Result<std::string> text() const {
    if (!value_.is_string()) return failure(expected("a text"));
    return value_.get<std::string>();
  }
  Result<std::vector<double>> numbers(std::initializer_list<std::size_t> counts,
                                      const std::string& what) const {
    bool countOk =
        value_.is_array() && std::find(counts.begin(), counts.end(), value_.size()) != counts.end();
    if (!countOk) return failure(expected(what));
    std::vector<double> out;
    for (const Json& item : value_) {
      if (!item.is_number()) return failure(expected(what));
      out.push_back(item.get<double>());
    }
    return out;
  }
  Result<Rect> rect() const {
    auto v = numbers({4}, "[x, y, width, height]");
    if (!v) return failure(v.error());
    return Rect((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
  }
  Result<Point> point() const {
    auto v = numbers({2}, "[x, y]");
    if (!v) return failure(v.error());
    return Point{(*v)[0], (*v)[1]};
  }
  Result<Size> size() const {
    auto v = numbers({2}, "[width, height]");
    if (!v) return failure(v.error());
    return Size{(*v)[0], (*v)[1]};
  }
  Result<std::optional<Color>> color() const {
    if (value_.is_null()) return std::optional<Color>();
    if (value_.is_string()) {
      if (auto c = Color::fromHex(value_.get<std::string>())) return std::optional<Color>(*c);
    }
    return failure(expected("a colour \"#RRGGBB\" or \"#RRGGBBAA\""));
  }
  template <typename E>
  Result<E> constant() const {
    if (value_.is_string()) {
      if (auto c = constantNamed<E>(value_.get<std::string>())) return *c;
    }
    return failure(expected("one of the constant names"));
  }
  Result<Transform3D> transform() const {
    auto v = numbers({16, 6}, "16 numbers (a 4×4 matrix by rows) or 6 (an affine transform)");
    if (!v) return failure(v.error());
    if (v->size() == 6) {
      const auto& a = *v;
      return Transform3D::makeAffineTransform({a[0], a[1], a[2], a[3], a[4], a[5]});
    }
    std::array<double, 16> rows{};
    std::copy(v->begin(), v->end(), rows.begin());
    return Transform3D::fromRows(rows);
  }
  template <std::size_t N>
  Result<std::uint32_t> bits(const std::array<std::string_view, N>& names,
                             const std::string& what) const {
    if (value_.is_number_unsigned() && value_.get<std::uint64_t>() < (1U << N)) {
      return static_cast<std::uint32_t>(value_.get<std::uint64_t>());
    }
    if (!value_.is_array()) return failure(expected(what));
    std::uint32_t raw = 0;
    for (const Json& item : value_) {
      if (!item.is_string()) return failure(expected(what));
      auto found = std::find(names.begin(), names.end(), item.get<std::string>());
      if (found == names.end()) return failure(expected(what));
      raw |= 1U << (found - names.begin());
    }
    return raw;
  }
  Result<LayerDictionary> dictionary(bool list) const {
    if (value_.is_null()) return LayerDictionary();
    if (list ? !value_.is_array() : !value_.is_object())
      return failure(expected(list ? "a list" : "an object"));
    return LayerDictionary::parse(value_.dump());
  }

  const Json& value() const { return value_; }

 private:
  std::string key_;
  const Json& value_;
  std::string path_;
};

Result<std::optional<Path>> shadowPathFrom(const Reader& reader) {
  const Json& value = reader.value();
  if (value.is_null()) return std::optional<Path>();
  std::string what =
      "null, {\"rect\": [x, y, width, height], \"cornerRadius\": r} or {\"ellipse\": [x, y, width, "
      "height]}";
  if (!value.is_object() || value.size() == 0) return failure(reader.expected(what));
  auto rectOf = [](const Json& v) -> std::optional<Rect> {
    if (!v.is_array() || v.size() != 4) return std::nullopt;
    for (const Json& n : v) {
      if (!n.is_number()) return std::nullopt;
    }
    return Rect(v[0].get<double>(), v[1].get<double>(), v[2].get<double>(), v[3].get<double>());
  };
  if (value.contains("ellipse") && value.size() == 1) {
    if (auto r = rectOf(value["ellipse"])) return std::optional<Path>(Path::ellipse(*r));
    return failure(reader.expected(what));
  }
  if (!value.contains("rect")) return failure(reader.expected(what));
  auto r = rectOf(value["rect"]);
  double radius = 0;
  for (const auto& [k, v] : value.items()) {
    if (k == "rect") continue;
    if (k != "cornerRadius" || !v.is_number()) return failure(reader.expected(what));
    radius = v.get<double>();
  }
  if (!r) return failure(reader.expected(what));
  return std::optional<Path>(Path::roundedRect(*r, radius));
}

Result<std::optional<TextString>> textFrom(const Reader& reader) {
  const Json& value = reader.value();
  if (value.is_null()) return std::optional<TextString>();
  if (value.is_string()) return std::optional<TextString>(TextString(value.get<std::string>()));
  std::string what =
      "a text, null or {\"text\": …, \"runs\": [{\"location\", \"length\", \"font\", \"fontSize\", "
      "\"foregroundColor\", \"backgroundColor\", \"kern\", \"underline\"}]}";
  if (!value.is_object() || !value.contains("text") || !value["text"].is_string()) {
    return failure(reader.expected(what));
  }
  AttributedString attributed(value["text"].get<std::string>());
  for (const auto& [k, v] : value.items()) {
    if (k == "text") continue;
    if (k != "runs" || !v.is_array()) return failure(reader.expected(what));
    for (const Json& run : v) {
      if (!run.is_object()) return failure(reader.expected(what));
      AttributedString::Run out;
      std::optional<std::string> fontName;
      std::optional<double> fontSize;
      for (const auto& [rk, rv] : run.items()) {
        auto color = [&]() {
          return rv.is_string() ? Color::fromHex(rv.get<std::string>()) : std::nullopt;
        };
        if ((rk == "location" || rk == "length") && rv.is_number_unsigned()) {
          (rk == "location" ? out.location : out.length) = rv.get<std::size_t>();
        } else if (rk == "font" && rv.is_string()) {
          fontName = rv.get<std::string>();
        } else if (rk == "fontSize" && rv.is_number()) {
          fontSize = rv.get<double>();
        } else if (rk == "foregroundColor" && color()) {
          out.attributes.foregroundColor = color();
        } else if (rk == "backgroundColor" && color()) {
          out.attributes.backgroundColor = color();
        } else if (rk == "kern" && rv.is_number()) {
          out.attributes.kern = rv.get<double>();
        } else if (rk == "underline" && rv.is_boolean()) {
          out.attributes.underline = rv.get<bool>();
        } else {
          return failure(reader.expected(what));
        }
      }
      if (fontName || fontSize)
        out.attributes.font = Font(fontName.value_or(""), fontSize.value_or(12));
      attributed.runs.push_back(std::move(out));
    }
  }
  return std::optional<TextString>(TextString(std::move(attributed)));
}

template <typename T>
Result<MutableLayerAttribute> make(Result<T> value, MutableLayerAttribute (*factory)(T)) {
  if (!value) return failure(value.error());
  return factory(std::move(*value));
}

Result<MutableLayerAttribute> floatAttribute(const Reader& reader,
                                             MutableLayerAttribute (*factory)(float)) {
  auto n = reader.number();
  if (!n) return failure(n.error());
  return factory(static_cast<float>(*n));
}

constexpr long kDeepestNesting = 64;
// Nesting of the JSON itself, whatever the keys: values such as "style",
// "filters" and "actions" are copied and walked recursively, so a document
// nested many thousand levels deep would exhaust the stack. Layers nested to
// their own limit take two levels each, with room for their dictionaries.
constexpr int kDeepestJSONNesting = 2 * kDeepestNesting + 64;

// The document, or nothing when it is not JSON or nests deeper than the
// limit (`tooDeep` tells which). The parser itself does not recurse.
std::optional<Json> parseBounded(const std::string& text, bool& tooDeep) {
  tooDeep = false;
  Json::parser_callback_t bound = [&tooDeep](int depth, Json::parse_event_t, Json&) {
    if (depth > kDeepestJSONNesting) tooDeep = true;
    return !tooDeep;
  };
  Json json = Json::parse(text, bound, false);
  if (tooDeep || json.is_discarded()) return std::nullopt;
  return json;
}

constexpr std::array<std::string_view, 4> kCornerNames = {"minXMinY", "maxXMinY", "minXMaxY",
                                                          "maxXMaxY"};
constexpr std::array<std::string_view, 4> kEdgeNames = {"left", "right", "bottom", "top"};

}  // namespace

const std::error_category& layerDescriptionErrorCategory() {
  static const auto& category = *new LayerDescriptionErrorCategory;
  return category;
}

std::error_code make_error_code(LayerDescriptionError error) {
  return {static_cast<int>(error), layerDescriptionErrorCategory()};
}

Result<MutableLayerAttribute> attributeFromDescription(const std::string& key, const Json& value,
                                                       const std::string& path,
                                                       const std::filesystem::path& baseDirectory) {
  auto found = codingKey(key);
  if (!found) return failure(invalid(path, key, "unknown key"));
  Reader r(key, value, path);
  using A = MutableLayerAttribute;
  switch (*found) {
    case Case::contents: {
      if (value.is_null()) return A::contents(std::nullopt);
      if (!value.is_string()) return failure(r.expected("an image file path or null"));
      std::filesystem::path file = value.get<std::string>();
      if (file.is_relative()) file = baseDirectory / file;
      auto image = Image::read(file);
      if (!image) return failure(invalid(path, key, image.error().localizedDescription()));
      return A::contents(std::move(*image));
    }
    case Case::contentsRect:
      return make(r.rect(), &A::contentsRect);
    case Case::contentsCenter:
      return make(r.rect(), &A::contentsCenter);
    case Case::contentsGravity:
      return make(r.constant<ContentsGravity>(), &A::contentsGravity);
    case Case::opacity:
      return floatAttribute(r, &A::opacity);
    case Case::isHidden:
      return make(r.boolean(), &A::isHidden);
    case Case::masksToBounds:
      return make(r.boolean(), &A::masksToBounds);
    case Case::mask: {
      if (value.is_null()) return A::mask(nullptr);
      return make(layerFromDescription(value, path + ".mask", baseDirectory), &A::mask);
    }
    case Case::isDoubleSided:
      return make(r.boolean(), &A::isDoubleSided);
    case Case::cornerRadius:
      return make(r.number(), &A::cornerRadius);
    case Case::maskedCorners: {
      auto bits =
          r.bits(kCornerNames, "a list of \"minXMinY\", \"maxXMinY\", \"minXMaxY\", \"maxXMaxY\"");
      if (!bits) return failure(bits.error());
      return A::maskedCorners(CornerMaskSet{*bits});
    }
    case Case::borderColor:
      return make(r.color(), &A::borderColor);
    case Case::borderWidth:
      return make(r.number(), &A::borderWidth);
    case Case::backgroundColor:
      return make(r.color(), &A::backgroundColor);
    case Case::shadowOpacity:
      return floatAttribute(r, &A::shadowOpacity);
    case Case::shadowRadius:
      return make(r.number(), &A::shadowRadius);
    case Case::shadowOffset:
      return make(r.size(), &A::shadowOffset);
    case Case::shadowColor:
      return make(r.color(), &A::shadowColor);
    case Case::shadowPath:
      return make(shadowPathFrom(r), &A::shadowPath);
    case Case::style:
      return make(r.dictionary(false), &A::style);
    case Case::allowsEdgeAntialiasing:
      return make(r.boolean(), &A::allowsEdgeAntialiasing);
    case Case::allowsGroupOpacity:
      return make(r.boolean(), &A::allowsGroupOpacity);
    case Case::filters:
      return make(r.dictionary(true), &A::filters);
    case Case::minificationFilterBias:
      return floatAttribute(r, &A::minificationFilterBias);
    case Case::magnificationFilter:
      return make(r.constant<ContentsFilter>(), &A::magnificationFilter);
    case Case::edgeAntialiasingMask: {
      auto bits = r.bits(kEdgeNames, "a list of \"left\", \"right\", \"bottom\", \"top\"");
      if (!bits) return failure(bits.error());
      return A::edgeAntialiasingMask(EdgeMaskSet{*bits});
    }
    case Case::isGeometryFlipped:
      return make(r.boolean(), &A::isGeometryFlipped);
    case Case::drawsAsynchronously:
      return make(r.boolean(), &A::drawsAsynchronously);
    case Case::shouldRasterize:
      return make(r.boolean(), &A::shouldRasterize);
    case Case::rasterizationScale:
      return make(r.number(), &A::rasterizationScale);
    case Case::contentsFormat:
      return make(r.constant<ContentsFormat>(), &A::contentsFormat);
    case Case::frame:
      return make(r.rect(), &A::frame);
    case Case::bounds:
      return make(r.rect(), &A::bounds);
    case Case::position:
      return make(r.point(), &A::position);
    case Case::zPosition:
      return make(r.number(), &A::zPosition);
    case Case::anchorPointZ:
      return make(r.number(), &A::anchorPointZ);
    case Case::anchorPoint:
      return make(r.point(), &A::anchorPoint);
    case Case::contentsScale:
      return make(r.number(), &A::contentsScale);
    case Case::transform:
      return make(r.transform(), &A::transform);
    case Case::sublayerTransform:
      return make(r.transform(), &A::sublayerTransform);
    case Case::sublayers: {
      if (!value.is_array()) return failure(r.expected("a list of layers"));
      std::vector<std::shared_ptr<Layer>> layers;
      for (std::size_t i = 0; i < value.size(); ++i) {
        auto layer = layerFromDescription(value[i], path + ".sublayers[" + std::to_string(i) + "]",
                                          baseDirectory);
        if (!layer) return failure(layer.error());
        layers.push_back(std::move(*layer));
      }
      return A::sublayers(std::move(layers));
    }
    case Case::actions:
      return make(r.dictionary(false), &A::actions);
    case Case::name:
      return make(r.text(), &A::name);
    case Case::cornerCurve:
      return make(r.constant<CornerCurve>(), &A::cornerCurve);
    case Case::isWrapped:
      return make(r.boolean(), &A::isWrapped);
    case Case::alignmentMode:
      return make(r.constant<TextLayerAlignmentMode>(), &A::alignmentMode);
    case Case::truncationMode:
      return make(r.constant<TextLayerTruncationMode>(), &A::truncationMode);
    case Case::string:
      return make(textFrom(r), &A::string);
    case Case::font: {
      auto name = r.text();
      if (!name) return failure(name.error());
      return A::font(Font(*name));
    }
    case Case::fontSize:
      return make(r.number(), &A::fontSize);
    case Case::foregroundColor:
      return make(r.color(), &A::foregroundColor);
    case Case::allowsFontSubpixelQuantization:
      return make(r.boolean(), &A::allowsFontSubpixelQuantization);
  }
  return failure(invalid(path, key, "unknown key"));
}

Result<std::shared_ptr<Layer>> layerFromDescription(const Json& description,
                                                    const std::string& path,
                                                    const std::filesystem::path& baseDirectory) {
  // Every level of sub-layers and masks adds a ".": a bound on them keeps a
  // hostile description from exhausting the stack here and in the renderer.
  if (std::count(path.begin(), path.end(), '.') >= kDeepestNesting) {
    return failure(
        Error(LayerDescriptionError::invalidDescription,
              path + ": layers nest deeper than " + std::to_string(kDeepestNesting) + " levels"));
  }
  if (!description.is_object()) {
    return failure(
        Error(LayerDescriptionError::invalidDescription, path + ": expected a layer object"));
  }
  std::shared_ptr<Layer> layer;
  if (auto type = description.find("type"); type == description.end() || *type == "layer") {
    layer = Layer::create();
  } else if (*type == "text") {
    layer = TextLayer::create();
  } else {
    return failure(invalid(path, "type", "expected \"layer\" or \"text\""));
  }
  std::vector<MutableLayerAttribute> attributes;
  for (const auto& [key, value] : description.items()) {
    if (key == "type") continue;
    auto attribute = attributeFromDescription(key, value, path, baseDirectory);
    if (!attribute) return failure(attribute.error());
    attributes.push_back(std::move(*attribute));
  }
  applyAttributes(*layer, attributes);
  return layer;
}

Result<LayerTreeDescription> parseLayerTreeDescription(const std::string& text,
                                                       const std::filesystem::path& baseDirectory) {
  bool tooDeep = false;
  std::optional<Json> parsed = parseBounded(text, tooDeep);
  if (tooDeep) {
    return failure(
        Error(LayerDescriptionError::invalidDescription,
              "the JSON nests deeper than " + std::to_string(kDeepestJSONNesting) + " levels"));
  }
  if (!parsed) return failure(Error(LayerDescriptionError::invalidJSON));
  const Json& json = *parsed;
  if (!json.is_object()) {
    return failure(Error(LayerDescriptionError::invalidDescription,
                         "expected an object with \"size\" and \"layers\""));
  }
  LayerTreeDescription tree;
  bool hasSize = false;
  std::vector<std::shared_ptr<Layer>> layers;
  for (const auto& [key, value] : json.items()) {
    Reader r(key, value, "description");
    if (key == "size") {
      auto size = r.size();
      bool usable = size && size->width >= 1 && size->height >= 1 &&
                    size->width <= Bitmap::kMaximumDimension &&
                    size->height <= Bitmap::kMaximumDimension;
      if (!usable) return failure(r.expected("[width, height] from 1 to 32767"));
      tree.size = *size;
      hasSize = true;
    } else if (key == "background") {
      auto color = r.color();
      if (!color) return failure(color.error());
      tree.background = *color;
    } else if (key == "layers") {
      if (!value.is_array()) return failure(r.expected("a list of layers"));
      for (std::size_t i = 0; i < value.size(); ++i) {
        auto layer =
            layerFromDescription(value[i], "layers[" + std::to_string(i) + "]", baseDirectory);
        if (!layer) return failure(layer.error());
        layers.push_back(std::move(*layer));
      }
    } else {
      return failure(invalid("description", key, "unknown key"));
    }
  }
  if (!hasSize) return failure(invalid("description", "size", "missing"));
  tree.root = Layer::create();
  tree.root->setFrame(Rect(0, 0, tree.size.width, tree.size.height));
  tree.root->setSublayers(std::move(layers));
  return tree;
}

}  // namespace velmoradine
