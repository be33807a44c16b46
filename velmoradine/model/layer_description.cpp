#include "velmoradine/model/layer_description.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>

#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"

namespace velmoradine {
namespace {

using Json = nlohmann::ordered_json;

// Errors name the JSON path of the bad value: the path of the object that
// holds it (empty at the top level) and its key.
Error invalid(const std::string& path, const std::string& key, const std::string& problem) {
  const std::string place = path.empty() ? key : path + "." + key;
  return Error(LayerDescriptionError::invalidDescription, place + ": " + problem);
}

// Reads the value of one key; `fail` reports what was expected.
class Reader {
 public:
  Reader(std::string key, const Json& value, std::string path,
         std::filesystem::path baseDirectory = {})
      : key_(std::move(key)),
        value_(value),
        path_(std::move(path)),
        baseDirectory_(std::move(baseDirectory)) {}

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
    VELMORADINE_ASSIGN_OR_RETURN(const auto v, numbers({4}, "4 numbers"));
    return Rect(v[0], v[1], v[2], v[3]);
  }
  Result<Point> point() const {
    VELMORADINE_ASSIGN_OR_RETURN(const auto v, numbers({2}, "2 numbers"));
    return Point{v[0], v[1]};
  }
  Result<Size> size() const {
    VELMORADINE_ASSIGN_OR_RETURN(const auto v, numbers({2}, "2 numbers"));
    return Size{v[0], v[1]};
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
    VELMORADINE_ASSIGN_OR_RETURN(
        const auto v,
        numbers({16, 6}, "16 numbers (a 4×4 matrix by rows) or 6 (an affine transform)"));
    if (v.size() == 6)
      return Transform3D::makeAffineTransform({v[0], v[1], v[2], v[3], v[4], v[5]});
    std::array<double, 16> rows{};
    std::copy(v.begin(), v.end(), rows.begin());
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
  const std::string& key() const { return key_; }
  const std::string& path() const { return path_; }
  // Where relative image paths start.
  const std::filesystem::path& baseDirectory() const { return baseDirectory_; }

 private:
  std::string key_;
  const Json& value_;
  std::string path_;
  std::filesystem::path baseDirectory_;
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

constexpr long kDeepestNesting = 64;
// Nesting of the JSON itself, whatever the keys: values such as "style",
// "filters" and "actions" are copied and walked recursively, so a document
// nested many thousand levels deep would exhaust the stack. Layers nested to
// their own limit take two levels each, with room for their dictionaries.
constexpr int kDeepestJSONNesting = 2 * kDeepestNesting + 64;

// The parser's message without its exception prefix ("[json.exception…] "):
// where the text stops being JSON and why. A number beyond the range of a
// double ("1e999") is refused here too, so no value read is infinite.
std::string parseProblem(const Json::exception& error) {
  std::string_view message = error.what();
  if (auto end = message.find("] "); message.starts_with('[') && end != message.npos) {
    message.remove_prefix(end + 2);
  }
  return std::string(message);
}

constexpr std::array<std::string_view, 4> kCornerNames = {"minXMinY", "maxXMinY", "minXMaxY",
                                                          "maxXMaxY"};
constexpr std::array<std::string_view, 4> kEdgeNames = {"left", "right", "bottom", "top"};

template <typename T>
using Of = std::type_identity<T>;

// One reader per payload type, in the form docs/graphics.md gives; the
// attribute table picks the reader by its payload type.
Result<std::optional<Image>> read(const Reader& r, Of<std::optional<Image>>) {
  if (r.value().is_null()) return std::optional<Image>();
  if (!r.value().is_string()) return failure(r.expected("an image file path or null"));
  std::filesystem::path file = r.value().get<std::string>();
  if (file.is_relative()) file = r.baseDirectory() / file;
  auto image = Image::read(file);
  if (!image) return failure(invalid(r.path(), r.key(), image.error().localizedDescription()));
  return std::optional<Image>(std::move(*image));
}
Result<Rect> read(const Reader& r, Of<Rect>) {
  return r.rect();
}
Result<Size> read(const Reader& r, Of<Size>) {
  return r.size();
}
Result<Point> read(const Reader& r, Of<Point>) {
  return r.point();
}
Result<bool> read(const Reader& r, Of<bool>) {
  return r.boolean();
}
Result<double> read(const Reader& r, Of<double>) {
  return r.number();
}
Result<float> read(const Reader& r, Of<float>) {
  VELMORADINE_ASSIGN_OR_RETURN(const double n, r.number());
  return static_cast<float>(n);
}
Result<std::string> read(const Reader& r, Of<std::string>) {
  return r.text();
}
Result<std::optional<Color>> read(const Reader& r, Of<std::optional<Color>>) {
  return r.color();
}
Result<Transform3D> read(const Reader& r, Of<Transform3D>) {
  return r.transform();
}
template <typename E>
requires std::is_enum_v<E> Result<E> read(const Reader& r, Of<E>) {
  return r.constant<E>();
}
Result<LayerDictionary> read(const Reader& r, Of<LayerDictionary>) {
  // The layer model keeps its filters as a list; the other dictionaries are objects.
  return r.dictionary(r.key() == stringValue(MutableLayerAttributeCodingKeys::filters));
}
Result<CornerMaskSet> read(const Reader& r, Of<CornerMaskSet>) {
  VELMORADINE_ASSIGN_OR_RETURN(
      const std::uint32_t bits,
      r.bits(kCornerNames, "a list of \"minXMinY\", \"maxXMinY\", \"minXMaxY\", \"maxXMaxY\""));
  return CornerMaskSet{bits};
}
Result<EdgeMaskSet> read(const Reader& r, Of<EdgeMaskSet>) {
  VELMORADINE_ASSIGN_OR_RETURN(
      const std::uint32_t bits,
      r.bits(kEdgeNames, "a list of \"left\", \"right\", \"bottom\", \"top\""));
  return EdgeMaskSet{bits};
}
Result<std::optional<Path>> read(const Reader& r, Of<std::optional<Path>>) {
  return shadowPathFrom(r);
}
Result<std::optional<TextString>> read(const Reader& r, Of<std::optional<TextString>>) {
  return textFrom(r);
}
Result<Font> read(const Reader& r, Of<Font>) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::string name, r.text());
  return Font(name);
}
Result<std::shared_ptr<Layer>> read(const Reader& r, Of<std::shared_ptr<Layer>>) {
  if (r.value().is_null()) return std::shared_ptr<Layer>();
  return layerFromDescription(r.value(), r.path() + "." + r.key(), r.baseDirectory());
}
Result<std::vector<std::shared_ptr<Layer>>> read(const Reader& r,
                                                 Of<std::vector<std::shared_ptr<Layer>>>) {
  if (!r.value().is_array()) return failure(r.expected("a list of layers"));
  std::vector<std::shared_ptr<Layer>> layers;
  for (std::size_t i = 0; i < r.value().size(); ++i) {
    VELMORADINE_ASSIGN_OR_RETURN(
        auto layer,
        layerFromDescription(r.value()[i], r.path() + "." + r.key() + "[" + std::to_string(i) + "]",
                             r.baseDirectory()));
    layers.push_back(std::move(layer));
  }
  return layers;
}

template <typename T>
Result<MutableLayerAttribute> attribute(Result<T> value, MutableLayerAttribute (*factory)(T)) {
  VELMORADINE_TRY(value);
  return factory(std::move(*value));
}

}  // namespace

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    LayerDescriptionError, layerDescriptionErrorCategory, "Velmoradine.LayerDescription",
    {LayerDescriptionError::invalidJSON, "The layer description is not valid JSON",
     DetailInDescription::afterColon},
    {LayerDescriptionError::invalidDescription, "The layer description is invalid",
     DetailInDescription::afterColon})

Result<MutableLayerAttribute> attributeFromDescription(const std::string& key, const Json& value,
                                                       const std::string& path,
                                                       const std::filesystem::path& baseDirectory) {
  auto found = codingKey(key);
  if (!found) return failure(invalid(path, key, "unknown key"));
  Reader r(key, value, path, baseDirectory);
  switch (*found) {
#define VELMORADINE_LAYER_ATTRIBUTE(caseName, Type, ...) \
  case MutableLayerAttributeCodingKeys::caseName:        \
    return attribute(read(r, Of<Type>{}), &MutableLayerAttribute::caseName);
#define VELMORADINE_UNKEYED_LAYER_ATTRIBUTE(...)
#include "velmoradine/model/layer_attribute_table.inc"
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
    VELMORADINE_ASSIGN_OR_RETURN(auto attribute,
                                 attributeFromDescription(key, value, path, baseDirectory));
    attributes.push_back(std::move(attribute));
  }
  applyAttributes(*layer, attributes);
  return layer;
}

Result<Json> parseDescriptionJSON(const std::string& text) {
  bool tooDeep = false;
  Json::parser_callback_t bound = [&tooDeep](int depth, Json::parse_event_t, Json&) {
    if (depth > kDeepestJSONNesting) tooDeep = true;
    return !tooDeep;
  };
  Json json;
  try {
    json = Json::parse(text, bound);
  } catch (const Json::exception& error) {
    if (!tooDeep) return failure(Error(LayerDescriptionError::invalidJSON, parseProblem(error)));
  }
  if (tooDeep) {
    return failure(
        Error(LayerDescriptionError::invalidDescription,
              "the JSON nests deeper than " + std::to_string(kDeepestJSONNesting) + " levels"));
  }
  return json;
}

Result<LayerTreeDescription> parseLayerTreeDescription(const std::string& text,
                                                       const std::filesystem::path& baseDirectory) {
  Result<Json> parsed = parseDescriptionJSON(text);
  if (!parsed) return failure(parsed.error());
  const Json& json = *parsed;
  if (!json.is_object()) {
    return failure(Error(LayerDescriptionError::invalidDescription,
                         "expected an object with \"size\" and \"layers\""));
  }
  LayerTreeDescription tree;
  bool hasSize = false;
  std::vector<std::shared_ptr<Layer>> layers;
  for (const auto& [key, value] : json.items()) {
    Reader r(key, value, "");
    if (key == "size") {
      auto size = r.size();
      bool usable = size && size->width >= 1 && size->height >= 1 &&
                    size->width <= Bitmap::kMaximumDimension &&
                    size->height <= Bitmap::kMaximumDimension;
      if (!usable) return failure(r.expected("2 numbers from 1 to 32767"));
      tree.size = *size;
      hasSize = true;
    } else if (key == "background") {
      VELMORADINE_ASSIGN_OR_RETURN(tree.background, r.color());
    } else if (key == "layers") {
      if (!value.is_array()) return failure(r.expected("a list of layers"));
      for (std::size_t i = 0; i < value.size(); ++i) {
        VELMORADINE_ASSIGN_OR_RETURN(
            auto layer,
            layerFromDescription(value[i], "layers[" + std::to_string(i) + "]", baseDirectory));
        layers.push_back(std::move(layer));
      }
    } else {
      return failure(invalid("", key, "unknown key"));
    }
  }
  if (!hasSize) return failure(invalid("", "size", "missing"));
  tree.root = Layer::create();
  tree.root->setFrame(Rect(0, 0, tree.size.width, tree.size.height));
  tree.root->setSublayers(std::move(layers));
  return tree;
}

}  // namespace velmoradine
