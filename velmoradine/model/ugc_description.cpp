#include "velmoradine/model/ugc_description.hpp"

#include <cmath>
#include <fstream>

#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/model/layer_description.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {
namespace {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

Error invalid(const std::string& place, const std::string& problem) {
  return Error(UGCDescriptionError::invalidDescription, place + ": " + problem);
}

std::string member(const std::string& path, const std::string& key) {
  return path.empty() ? key : path + "." + key;
}

std::string element(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// Each item of the list at `place` read by `read`, in order; the first bad
// item ends the walk.
template <typename Item, typename Read>
Result<std::vector<Item>> listOf(const Json& value, const std::string& place, const char* what,
                                 Read read) {
  if (!value.is_array()) return failure(invalid(place, std::string("expected a list of ") + what));
  std::vector<Item> items;
  for (std::size_t i = 0; i < value.size(); ++i) {
    Result<Item> item = read(value[i], element(place, i));
    if (!item) return failure(item.error());
    items.push_back(std::move(*item));
  }
  return items;
}

// The single key of an option object such as {"maxDuration": 3}.
Result<Json::const_iterator> onlyKey(const Json& option, const std::string& place,
                                     const char* keys) {
  if (!option.is_object() || option.size() != 1) {
    return failure(invalid(place, std::string("expected an object with one of ") + keys));
  }
  return option.begin();
}

// H.264 in 4:2:0 needs even sizes; the encoder and the layer renderer both
// refuse anything larger than the limit.
Result<Size> frameSize(const Json& value, const std::string& place) {
  if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number()) {
    return failure(invalid(place, "expected 2 numbers"));
  }
  for (const Json& side : value) {
    const double length = side.get<double>();
    const bool usable = length == std::floor(length) && length >= 16 &&
                        length <= kLargestUGCDimension && std::fmod(length, 2) == 0;
    if (!usable) {
      return failure(invalid(place, "expected even whole numbers from 16 to " +
                                        std::to_string(kLargestUGCDimension) +
                                        " (H.264 encodes even sizes only)"));
    }
  }
  return Size{value[0].get<double>(), value[1].get<double>()};
}

Result<Color> hexColor(const Json& value, const std::string& place) {
  if (value.is_string()) {
    if (auto color = Color::fromHex(value.get<std::string>())) return *color;
  }
  return failure(invalid(place, "expected a colour \"#RRGGBB\" or \"#RRGGBBAA\""));
}

Result<UGCRenderOptions> renderOption(const Json& option, const std::string& place) {
  auto entry = onlyKey(option, place, "\"preset\", \"size\" or \"backgroundColor\"");
  if (!entry) return failure(entry.error());
  const std::string& key = (*entry).key();
  const Json& value = (*entry).value();
  const std::string at = member(place, key);
  if (key == "preset") {
    if (value == "verticalVideoPreset") {
      return UGCRenderOptions::preset(UGCRenderPreset::verticalVideoPreset);
    }
    return failure(invalid(at, "expected \"verticalVideoPreset\""));
  }
  if (key == "size") {
    auto size = frameSize(value, at);
    if (!size) return failure(size.error());
    return UGCRenderOptions::size(*size);
  }
  if (key == "backgroundColor") {
    auto color = hexColor(value, at);
    if (!color) return failure(color.error());
    return UGCRenderOptions::backgroundColor(*color);
  }
  return failure(invalid(at, "unknown key"));
}

Result<UGCSceneOption> sceneOption(const Json& option, const std::string& place) {
  auto entry = onlyKey(option, place, "\"maxDuration\"");
  if (!entry) return failure(entry.error());
  const std::string at = member(place, (*entry).key());
  if ((*entry).key() != "maxDuration") return failure(invalid(at, "unknown key"));
  const Json& value = (*entry).value();
  // JSON holds no infinite number: the parser refuses one that overflows.
  if (!value.is_number() || value.get<double>() <= 0) {
    return failure(invalid(at, "expected a number of seconds above 0"));
  }
  return UGCSceneOption::maxDuration(value.get<double>());
}

Result<std::vector<MutableLayerAttribute>> attributeList(const Json* attributes,
                                                         const std::string& place,
                                                         const fs::path& baseDirectory) {
  std::vector<MutableLayerAttribute> list;
  if (!attributes) return list;
  if (!attributes->is_object()) return failure(invalid(place, "expected an object"));
  for (const auto& [key, value] : attributes->items()) {
    auto attribute = attributeFromDescription(key, value, place, baseDirectory);
    if (!attribute) {
      return failure(Error(UGCDescriptionError::invalidDescription, attribute.error().detail()));
    }
    list.push_back(std::move(*attribute));
  }
  return list;
}

bool isWebAddress(const std::string& text) {
  return text.starts_with("http://") || text.starts_with("https://");
}

// A layer's file: an http(s) address as it stands, or a local path resolved
// against the description's folder.
struct LayerSource {
  std::optional<URL> address;
  fs::path file;
};

Result<LayerSource> layerSource(const Json& value, const std::string& place,
                                const fs::path& baseDirectory) {
  const char* expected = "expected a file path or an http or https address";
  if (!value.is_string() || value.get<std::string>().empty()) {
    return failure(invalid(place, expected));
  }
  const std::string text = value.get<std::string>();
  if (isWebAddress(text)) {
    std::optional<URL> url = URL::parse(text);
    if (!url) return failure(invalid(place, "\"" + text + "\" is not a valid address"));
    return LayerSource{url, {}};
  }
  if (text.find("://") != std::string::npos) return failure(invalid(place, expected));
  const fs::path file = fs::path(text).is_relative() ? baseDirectory / text : fs::path(text);
  return LayerSource{std::nullopt, file};
}

// Why a local video cannot be read, judged without reading it; nothing when
// it can. The engine reports whether it holds a video.
std::optional<std::string> unreadableVideo(const fs::path& file) {
  std::error_code code;
  const auto status = fs::status(file, code);
  if (code) return code.message();
  if (!fs::is_regular_file(status)) return "not a regular file";
  if (!std::ifstream(file, std::ios::binary)) return "cannot be opened for reading";
  return std::nullopt;
}

// The video's picture is scaled by the video layer's frame (see
// transformToExpectedAssetScale): without a width and a height the scale is
// infinite and every export of the scene fails.
bool framesAVideo(const std::vector<MutableLayerAttribute>& attributes) {
  auto layer = Layer::create();
  for (const MutableLayerAttribute& attribute : attributes) {
    // Text attributes do nothing here but log that they do nothing.
    if (!attribute.isTextLayerAttribute()) applyAttributes(*layer, {attribute});
  }
  const Size size = layer->frame().size;
  return size.width > 0 && size.height > 0;
}

Result<UGCLayerInstruction> videoLayer(const Json& value, const std::string& place,
                                       std::vector<MutableLayerAttribute> attributes,
                                       const fs::path& baseDirectory) {
  if (!framesAVideo(attributes)) {
    return failure(invalid(place,
                           "a video layer needs a \"frame\" attribute of positive width "
                           "and height"));
  }
  auto source = layerSource(value, place, baseDirectory);
  if (!source) return failure(source.error());
  auto format = std::make_shared<UGCVideoFormat>(std::move(attributes));
  if (source->address)
    return UGCLayerInstruction{
        UGCLayerInstruction::videoURL{format, source->address->absoluteString()}};
  if (auto problem = unreadableVideo(source->file)) {
    return failure(invalid(place, value.get<std::string>() + ": " + *problem));
  }
  return UGCLayerInstruction{
      UGCLayerInstruction::videoURL{format, URL::fileURL(source->file).absoluteString()}};
}

Result<UGCLayerInstruction> imageLayer(const Json& value, const std::string& place,
                                       std::vector<MutableLayerAttribute> attributes,
                                       const fs::path& baseDirectory) {
  auto source = layerSource(value, place, baseDirectory);
  if (!source) return failure(source.error());
  auto format = std::make_shared<UGCImageFormat>(std::move(attributes));
  if (source->address)
    return UGCLayerInstruction{
        UGCLayerInstruction::imageURL{format, source->address->absoluteString()}};
  const std::string& text = value.get<std::string>();
  Result<Data> bytes = readContents(source->file, Image::kMaximumFileSize);
  if (!bytes) return failure(invalid(place, text + ": " + bytes.error().code().message()));
  Result<Image> image = Image::decode(*bytes);
  if (!image) {
    return failure(invalid(place, text + ": " + image.error().localizedDescription()));
  }
  return UGCLayerInstruction{UGCLayerInstruction::imageLitearl{format, std::move(*image)}};
}

Result<UGCLayerInstruction> textLayer(const Json& value, const std::string& place,
                                      std::vector<MutableLayerAttribute> attributes) {
  if (!value.is_string()) return failure(invalid(place, "expected a text"));
  auto format = std::make_shared<UGCTextFormat>(std::move(attributes));
  return UGCLayerInstruction{UGCLayerInstruction::text{format, value.get<std::string>()}};
}

Result<UGCLayerInstruction> layer(const Json& value, const std::string& place,
                                  const fs::path& baseDirectory) {
  if (!value.is_object()) return failure(invalid(place, "expected a layer object"));
  const char* kinds = "\"video\", \"image\" or \"text\"";
  std::optional<std::string> kind;
  const Json* attributes = nullptr;
  for (const auto& [key, item] : value.items()) {
    if (key == "video" || key == "image" || key == "text") {
      if (kind) {
        return failure(invalid(place, std::string("expected exactly one of ") + kinds +
                                          ", found \"" + *kind + "\" and \"" + key + "\""));
      }
      kind = key;
    } else if (key == "attributes") {
      attributes = &item;
    } else {
      return failure(invalid(member(place, key), "unknown key"));
    }
  }
  if (!kind) return failure(invalid(place, std::string("expected one of ") + kinds));
  auto list = attributeList(attributes, member(place, "attributes"), baseDirectory);
  if (!list) return failure(list.error());
  const Json& content = value.at(*kind);
  const std::string at = member(place, *kind);
  if (*kind == "video") return videoLayer(content, at, std::move(*list), baseDirectory);
  if (*kind == "image") return imageLayer(content, at, std::move(*list), baseDirectory);
  return textLayer(content, at, std::move(*list));
}

Result<UGCSceneDescription> scene(const Json& value, const std::string& place,
                                  const fs::path& baseDirectory) {
  if (!value.is_object()) return failure(invalid(place, "expected a scene object"));
  UGCSceneDescription description;
  for (const auto& [key, item] : value.items()) {
    const std::string at = member(place, key);
    if (key == "options") {
      auto options = listOf<UGCSceneOption>(item, at, "scene options", sceneOption);
      if (!options) return failure(options.error());
      description.options = std::move(*options);
    } else if (key == "layers") {
      auto layers = listOf<UGCLayerInstruction>(item, at, "layers",
                                                [&](const Json& entry, const std::string& path) {
                                                  return layer(entry, path, baseDirectory);
                                                });
      if (!layers) return failure(layers.error());
      description.layers = std::move(*layers);
    } else {
      return failure(invalid(at, "unknown key"));
    }
  }
  return description;
}

Result<UGCDescription> ugc(const Json& json, const fs::path& baseDirectory) {
  UGCDescription description;
  for (const auto& [key, value] : json.items()) {
    if (key == "title") {
      if (!value.is_string()) return failure(invalid(key, "expected a text"));
      description.title = value.get<std::string>();
    } else if (key == "options") {
      auto options = listOf<UGCRenderOptions>(value, key, "render options", renderOption);
      if (!options) return failure(options.error());
      description.options = std::move(*options);
    } else if (key == "scenes") {
      auto scenes = listOf<UGCSceneDescription>(value, key, "scenes",
                                                [&](const Json& entry, const std::string& path) {
                                                  return scene(entry, path, baseDirectory);
                                                });
      if (!scenes) return failure(scenes.error());
      description.scenes = std::move(*scenes);
    } else {
      return failure(invalid(key, "unknown key"));
    }
  }
  if (description.scenes.empty()) return failure(invalid("scenes", "expected at least one scene"));
  return description;
}

}  // namespace

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    UGCDescriptionError, ugcDescriptionErrorCategory, "Velmoradine.UGCDescription",
    {UGCDescriptionError::invalidJSON, "The UGC description is not valid JSON",
     DetailInDescription::afterColon},
    {UGCDescriptionError::invalidDescription, "The UGC description is invalid",
     DetailInDescription::afterColon})

Result<UGCDescription> parseUGCDescription(const std::string& text, const fs::path& baseDirectory) {
  Result<Json> json = parseDescriptionJSON(text);
  if (!json) {
    const bool notJSON = json.error() == LayerDescriptionError::invalidJSON;
    return failure(
        Error(notJSON ? UGCDescriptionError::invalidJSON : UGCDescriptionError::invalidDescription,
              json.error().detail()));
  }
  if (!json->is_object()) {
    return failure(Error(UGCDescriptionError::invalidDescription,
                         "expected an object with \"title\", \"options\" and \"scenes\""));
  }
  return ugc(*json, baseDirectory);
}

}  // namespace velmoradine
