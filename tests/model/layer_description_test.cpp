#include "velmoradine/model/layer_description.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

Result<LayerTreeDescription> parse(const std::string& json,
                                   const std::filesystem::path& base = ".") {
  return parseLayerTreeDescription(json, base);
}

std::string errorText(const std::string& json) {
  auto result = parse(json);
  if (result) return "no error";
  EXPECT_EQ(result.error(), LayerDescriptionError::invalidDescription);
  return result.error().detail();
}

TEST(LayerDescription, BuildsTheTreeInKeyOrder) {
  auto tree = parse(R"({"size": [200, 100], "background": "#102030", "layers": [
      {"type": "layer", "bounds": [0, 0, 10, 10], "frame": [10, 20, 30, 40], "backgroundColor": "#FF000080",
       "sublayers": [{"type": "text", "string": "hi", "fontSize": 12, "alignmentMode": "center",
                      "truncationMode": "end", "font": "Serif"}]},
      {"frame": [0, 0, 5, 5], "transform": [2, 0, 0, 2, 0, 0], "maskedCorners": ["minXMinY", "maxXMaxY"],
       "contentsGravity": "resizeAspectFill", "mask": {"frame": [0, 0, 1, 1]}}]})");
  ASSERT_TRUE(tree) << tree.error().localizedDescription();
  EXPECT_EQ(tree->size, (Size{200, 100}));
  EXPECT_EQ(tree->background, Color::fromHex("#102030"));
  ASSERT_EQ(tree->root->sublayers().size(), 2u);
  const auto& first = tree->root->sublayers()[0];
  EXPECT_EQ(first->frame(), Rect(10, 20, 30, 40));
  EXPECT_NEAR(first->backgroundColor()->alpha, 128 / 255.0, 1e-9);
  auto text = std::dynamic_pointer_cast<TextLayer>(first->sublayers().at(0));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->string(), TextString("hi"));
  EXPECT_EQ(text->alignmentMode(), TextLayerAlignmentMode::center);
  EXPECT_EQ(text->truncationMode(), TextLayerTruncationMode::end);
  const auto& second = tree->root->sublayers()[1];
  EXPECT_EQ(second->affineTransform(), AffineTransform::makeScale(2, 2));
  EXPECT_EQ(second->maskedCorners().rawValue, 0b1001u);
  EXPECT_EQ(second->contentsGravity(), ContentsGravity::resizeAspectFill);
  ASSERT_TRUE(second->mask());
}

TEST(LayerDescription, TransformThenFrameFollowsKeyOrder) {
  auto tree = parse(R"({"size": [10, 10], "layers": [
      {"transform": [2,0,0,0, 0,2,0,0, 0,0,1,0, 0,0,0,1], "frame": [0, 0, 100, 100]}]})");
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->root->sublayers()[0]->bounds().size, (Size{50, 50}));
}

TEST(LayerDescription, ErrorsNameTheKeyAndTheIndexPath) {
  EXPECT_EQ(
      errorText(
          R"({"size": [10, 10], "layers": [{}, {"sublayers": [{}, {"cornerRadius": "4"}]}]})"),
      "layers[1].sublayers[1].cornerRadius: expected a number");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"mask": {"opacty": 1}}]})"),
            "layers[0].mask.opacty: unknown key");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"isOpaque": true}]})"),
            "layers[0].isOpaque: unknown key");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"type": "video"}]})"),
            "layers[0].type: expected \"layer\" or \"text\"");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"frame": [1, 2, 3]}]})"),
            "layers[0].frame: expected 4 numbers");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"backgroundColor": "red"}]})"),
            "layers[0].backgroundColor: expected a colour \"#RRGGBB\" or \"#RRGGBBAA\"");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"contentsGravity": "middle"}]})"),
            "layers[0].contentsGravity: expected one of the constant names");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"transform": [1, 2, 3]}]})"),
            "layers[0].transform: expected 16 numbers (a 4×4 matrix by rows) or 6 (an affine "
            "transform)");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"isHidden": 1}]})"),
            "layers[0].isHidden: expected true or false");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [{"maskedCorners": ["topLeft"]}]})"),
            "layers[0].maskedCorners: expected a list of \"minXMinY\", \"maxXMinY\", "
            "\"minXMaxY\", \"maxXMaxY\"");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "layers": [5]})"),
            "layers[0]: expected a layer object");
}

TEST(LayerDescription, NestingIsBounded) {
  auto nested = [](int depth) {
    std::string layer = "{}";
    for (int i = 0; i < depth; ++i) layer = "{\"sublayers\": [" + layer + "]}";
    return "{\"size\": [10, 10], \"layers\": [" + layer + "]}";
  };
  EXPECT_TRUE(parse(nested(63)));
  auto deep = parse(nested(64));
  ASSERT_FALSE(deep);
  EXPECT_NE(deep.error().detail().find("layers nest deeper than 64 levels"), std::string::npos);
}

TEST(LayerDescription, TopLevelErrors) {
  auto notJson = parse("{\"size\": [");
  ASSERT_FALSE(notJson);
  EXPECT_EQ(notJson.error(), LayerDescriptionError::invalidJSON);
  EXPECT_EQ(errorText(R"({"layers": []})"), "size: missing");
  EXPECT_EQ(errorText(R"({"size": [0, 10]})"), "size: expected 2 numbers from 1 to 32767");
  EXPECT_EQ(errorText(R"({"size": [10, 10], "colour": "#000000"})"), "colour: unknown key");
  EXPECT_EQ(errorText(R"([1, 2])"), "expected an object with \"size\" and \"layers\"");
}

TEST(LayerDescription, ImagePathsAreReadRelativeToTheDescription) {
  testing::TemporaryDirectory directory;
  Bitmap bitmap(4, 2);
  bitmap.fill(Color::white());
  auto png = Image(std::move(bitmap)).pngData();
  ASSERT_TRUE(png);
  std::ofstream(directory.path() / "i.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  auto tree = parse(R"({"size": [10, 10], "layers": [{"contents": "i.png"}]})", directory.path());
  ASSERT_TRUE(tree) << tree.error().localizedDescription();
  ASSERT_TRUE(tree->root->sublayers()[0]->contents());
  EXPECT_EQ(tree->root->sublayers()[0]->contents()->pixelWidth(), 4);

  auto missing =
      parse(R"({"size": [10, 10], "layers": [{"contents": "none.png"}]})", directory.path());
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().detail().find("layers[0].contents: "), std::string::npos);
}

TEST(LayerDescription, AttributedTextAndShadowPaths) {
  auto tree = parse(R"({"size": [10, 10], "layers": [{"type": "text",
      "string": {"text": "abcdef", "runs": [{"location": 2, "length": 3, "foregroundColor": "#00FF00", "font": "Serif", "fontSize": 9}]},
      "shadowPath": {"rect": [0, 0, 4, 4], "cornerRadius": 1}, "style": {"a": 1}, "filters": [], "actions": {"b": "c"}}]})");
  ASSERT_TRUE(tree) << tree.error().localizedDescription();
  auto text = std::dynamic_pointer_cast<TextLayer>(tree->root->sublayers()[0]);
  ASSERT_TRUE(text);
  const auto& attributed = std::get<AttributedString>(*text->string());
  ASSERT_EQ(attributed.runs.size(), 1u);
  EXPECT_EQ(attributed.runs[0].location, 2u);
  EXPECT_EQ(attributed.runs[0].attributes.font, Font("Serif", 9));
  ASSERT_TRUE(text->shadowPath());
  EXPECT_EQ(text->shadowPath()->boundingBox(), Rect(0, 0, 4, 4));
  EXPECT_EQ(text->style()["a"], 1);
  EXPECT_TRUE(text->filters().is_array());
}

TEST(LayerDescription, TextKeysOnAPlainLayerAreLoggedAndSkipped) {
  console::Capture capture;
  auto tree = parse(R"({"size": [10, 10], "layers": [{"fontSize": 12, "opacity": 0.5}]})");
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->root->sublayers()[0]->opacity(), 0.5f);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_NE(capture.lines()[0].find("layerAttribute fontSize(12.0)"), std::string::npos);
}

// The keys, the cases and their names are expanded from one table; a key
// must build the case it names, whatever the form of its value.
TEST(LayerDescription, EveryKeyBuildsTheCaseItNames) {
  using Json = nlohmann::ordered_json;
  const std::vector<Json> candidates = {
      nullptr,    1,      true,          "center", "linear",     "RGBA8Uint",
      "circular", "none", Json::array(), {1, 1},   {0, 0, 1, 1}, {1, 0, 0, 1, 0, 0}};
  for (MutableLayerAttributeCodingKeys key : allCodingKeys()) {
    const std::string name(stringValue(key));
    std::optional<MutableLayerAttribute> built;
    for (const Json& value : candidates) {
      auto attribute = attributeFromDescription(name, value, "layers[0]", ".");
      if (attribute) {
        built = *attribute;
        break;
      }
    }
    ASSERT_TRUE(built) << name << ": no candidate value reads";
    EXPECT_EQ(caseName(built->kind()), name);
    EXPECT_EQ(built->description().substr(0, name.size() + 1), name + "(");
  }
}

}  // namespace
}  // namespace velmoradine
