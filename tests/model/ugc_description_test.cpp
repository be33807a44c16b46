#include "velmoradine/model/ugc_description.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temporary_directory.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {
namespace {

// A folder holding a description's files: "clip.mp4" (any readable file:
// the parser does not open videos), "dot.png" (a 2 × 2 picture) and
// "broken.png" (not a picture).
class DescriptionFolder {
 public:
  DescriptionFolder() {
    std::ofstream(path() / "clip.mp4") << "not opened by the parser";
    std::ofstream(path() / "broken.png") << "not a picture";
    Bitmap bitmap(2, 2);
    bitmap.fill(Color::white());
    auto png = Image(std::move(bitmap)).pngData();
    std::ofstream(path() / "dot.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
  }
  const std::filesystem::path& path() const { return directory_.path(); }

 private:
  testing::TemporaryDirectory directory_;
};

// One scene whose only layer is `layer`.
std::string withLayer(const std::string& layer) {
  return R"({"scenes": [{"layers": [)" + layer + "]}]}";
}

struct BadDescription {
  const char* name;
  std::string json;
  std::string problem;  // the error's detail
  UGCDescriptionError error = UGCDescriptionError::invalidDescription;
  friend void PrintTo(const BadDescription& description, std::ostream* out) {
    *out << description.name;
  }
};

class UGCDescriptionErrors : public ::testing::TestWithParam<BadDescription> {};

TEST_P(UGCDescriptionErrors, NameTheJSONPathOfTheBadValue) {
  DescriptionFolder folder;
  auto parsed = parseUGCDescription(GetParam().json, folder.path());
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error(), GetParam().error);
  EXPECT_EQ(parsed.error().detail(), GetParam().problem);
}

const std::string kText = R"({"text": "hi"})";

INSTANTIATE_TEST_SUITE_P(
    Table, UGCDescriptionErrors,
    ::testing::Values(
        BadDescription{"ZeroScenes", R"({"title": "t", "scenes": []})",
                       "scenes: expected at least one scene"},
        BadDescription{"NoScenes", R"({"title": "t"})", "scenes: expected at least one scene"},
        BadDescription{"FrameOfThreeNumbers",
                       R"({"scenes": [{"layers": [{"text": "a"}]}, {"layers": [
                           {"text": "b", "attributes": {"frame": [0, 0, 40]}}]}]})",
                       "scenes[1].layers[0].attributes.frame: expected 4 numbers"},
        BadDescription{"UnknownTopLevelKey", R"({"scene": []})", "scene: unknown key"},
        BadDescription{"UnknownSceneKey", R"({"scenes": [{"layer": []}]})",
                       "scenes[0].layer: unknown key"},
        BadDescription{"UnknownLayerKey", withLayer(R"({"text": "a", "atributes": {}})"),
                       "scenes[0].layers[0].atributes: unknown key"},
        BadDescription{"UnknownAttribute",
                       withLayer(R"({"text": "a", "attributes": {"isOpaque": true}})"),
                       "scenes[0].layers[0].attributes.isOpaque: unknown key"},
        BadDescription{"UnknownOption", R"({"options": [{"fps": 60}], "scenes": []})",
                       "options[0].fps: unknown key"},
        BadDescription{"TwoContents", withLayer(R"({"text": "a", "image": "dot.png"})"),
                       "scenes[0].layers[0]: expected exactly one of \"video\", \"image\" or "
                       "\"text\", found \"text\" and \"image\""},
        BadDescription{"NoContent", withLayer(R"({"attributes": {}})"),
                       "scenes[0].layers[0]: expected one of \"video\", \"image\" or \"text\""},
        BadDescription{"ZeroMaxDuration",
                       R"({"scenes": [{"options": [{"maxDuration": 0}], "layers": []}]})",
                       "scenes[0].options[0].maxDuration: expected a number of seconds above 0"},
        BadDescription{"NegativeMaxDuration",
                       R"({"scenes": [{"options": [{"maxDuration": 2}, {"maxDuration": -1}]}]})",
                       "scenes[0].options[1].maxDuration: expected a number of seconds above 0"},
        BadDescription{"MaxDurationAsText", R"({"scenes": [{"options": [{"maxDuration": "3"}]}]})",
                       "scenes[0].options[0].maxDuration: expected a number of seconds above 0"},
        BadDescription{"OverflowingMaxDuration",
                       R"({"scenes": [{"options": [{"maxDuration": 1e999}]}]})",
                       "number overflow parsing '1e999'", UGCDescriptionError::invalidJSON},
        BadDescription{"OptionWithTwoKeys",
                       R"({"options": [{"preset": "verticalVideoPreset", "size": [540, 960]}]})",
                       "options[0]: expected an object with one of \"preset\", \"size\" or "
                       "\"backgroundColor\""},
        BadDescription{"OddSize", R"({"options": [{"size": [541, 960]}], "scenes": []})",
                       "options[0].size: expected even whole numbers from 16 to 4096 (H.264 "
                       "encodes even sizes only)"},
        BadDescription{"SizeBeyondTheLimit",
                       R"({"options": [{"preset": "verticalVideoPreset"}, {"size": [540, 8192]}]})",
                       "options[1].size: expected even whole numbers from 16 to 4096 (H.264 "
                       "encodes even sizes only)"},
        BadDescription{"UnknownPreset", R"({"options": [{"preset": "square"}]})",
                       "options[0].preset: expected \"verticalVideoPreset\""},
        BadDescription{"BadBackground", R"({"options": [{"backgroundColor": "navy"}]})",
                       "options[0].backgroundColor: expected a colour \"#RRGGBB\" or "
                       "\"#RRGGBBAA\""},
        BadDescription{"TitleNotText", R"({"title": 5})", "title: expected a text"},
        BadDescription{"ScenesNotAList", R"({"scenes": {}})", "scenes: expected a list of scenes"},
        BadDescription{"LayerNotAnObject", withLayer("3"),
                       "scenes[0].layers[0]: expected a layer object"},
        BadDescription{"TextNotText", withLayer(R"({"text": ["a"]})"),
                       "scenes[0].layers[0].text: expected a text"},
        BadDescription{
            "OtherScheme",
            withLayer(
                R"({"video": "ftp://example.org/a.mp4", "attributes": {"frame": [0, 0, 9, 9]}})"),
            "scenes[0].layers[0].video: expected a file path or an http or https "
            "address"},
        BadDescription{"MissingVideo",
                       withLayer(R"({"attributes": {"frame": [0, 0, 9, 9]}, "video": "gone.mp4"})"),
                       "scenes[0].layers[0].video: gone.mp4: No such file or directory"},
        BadDescription{"VideoIsAFolder",
                       withLayer(R"({"video": ".", "attributes": {"bounds": [0, 0, 9, 9]}})"),
                       "scenes[0].layers[0].video: .: not a regular file"},
        BadDescription{"VideoWithoutFrame",
                       withLayer(R"({"video": "clip.mp4", "attributes": {"frame": [0, 0, 0, 9]}})"),
                       "scenes[0].layers[0].video: a video layer needs a \"frame\" attribute of "
                       "positive width and height"},
        BadDescription{"NotJSON", R"({"scenes": [)",
                       "parse error at line 1, column 13: syntax error while parsing value - "
                       "unexpected end of input; expected '[', '{', or a literal",
                       UGCDescriptionError::invalidJSON},
        BadDescription{"NotAnObject", "[]",
                       "expected an object with \"title\", \"options\" and \"scenes\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UGCDescription, AnImageThatDoesNotDecodeNamesItsLayer) {
  DescriptionFolder folder;
  auto parsed = parseUGCDescription(withLayer(R"({"image": "broken.png"})"), folder.path());
  ASSERT_FALSE(parsed);
  EXPECT_TRUE(parsed.error().detail().starts_with("scenes[0].layers[0].image: broken.png: "))
      << parsed.error().detail();
}

TEST(UGCDescription, ReadsOptionsLayersAndAttributesInOrder) {
  DescriptionFolder folder;
  auto parsed = parseUGCDescription(R"({"title": "Weekend",
      "options": [{"size": [1080, 1920]}, {"preset": "verticalVideoPreset"}, {"size": [360, 640]},
                  {"backgroundColor": "#101820"}],
      "scenes": [{"options": [{"maxDuration": 5}, {"maxDuration": 3}], "layers": [
        {"attributes": {"frame": [0, 0, 360, 640]}, "video": "clip.mp4"},
        {"text": "Day one", "attributes": {"fontSize": 64, "frame": [40, 80, 280, 120]}},
        {"image": "dot.png"},
        {"image": "https://example.org/logo.png"}]}]})",
                                    folder.path());
  ASSERT_TRUE(parsed) << parsed.error().localizedDescription();
  EXPECT_EQ(parsed->title, "Weekend");
  UGCRenderSettings settings(parsed->options);
  EXPECT_EQ(settings.size, (Size{360, 640}));
  EXPECT_EQ(settings.backgroundColor, *Color::fromHex("#101820"));
  ASSERT_EQ(parsed->scenes.size(), 1u);
  EXPECT_EQ(UGCSceneOptions(parsed->scenes[0].options).maxDuration, 3);

  const auto& layers = parsed->scenes[0].layers;
  ASSERT_EQ(layers.size(), 4u);
  const auto& video = std::get<UGCLayerInstruction::videoURL>(layers[0].value);
  EXPECT_EQ(video.url, URL::fileURL(folder.path() / "clip.mp4").absoluteString());
  ASSERT_EQ(video.format->attributes().size(), 1u);
  const auto& text = std::get<UGCLayerInstruction::text>(layers[1].value);
  EXPECT_EQ(text.text, "Day one");
  ASSERT_EQ(text.format->attributes().size(), 2u);
  EXPECT_EQ(text.format->attributes()[0].description(), "fontSize(64.0)");
  EXPECT_EQ(text.format->attributes()[1].description(), "frame((40.0, 80.0, 280.0, 120.0))");
  EXPECT_EQ(std::get<UGCLayerInstruction::imageLitearl>(layers[2].value).image.pixelWidth(), 2);
  EXPECT_EQ(std::get<UGCLayerInstruction::imageURL>(layers[3].value).url,
            "https://example.org/logo.png");
}

}  // namespace
}  // namespace velmoradine
