#include <gtest/gtest.h>

#include <fstream>

#include "tests/apps/command_line.hpp"
#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/media/image_generator.hpp"

namespace velmoradine {
namespace {

using testing::CommandRun;
using testing::runHost;

constexpr std::uint32_t kRed = 0xffc02020, kBlue = 0xff2040c0, kGreen = 0xff00ff00;

// A folder with a description's media: "red.mp4" (1 s) and "blue.mp4" (2 s)
// at 64 × 48, and "green.png" (16 × 16).
class RenderFolder {
 public:
  RenderFolder() {
    EXPECT_TRUE(testing::writeTestVideo(path() / "red.mp4", {.color = kRed}));
    EXPECT_TRUE(testing::writeTestVideo(path() / "blue.mp4", {.frames = 60, .color = kBlue}));
    Bitmap bitmap(16, 16);
    bitmap.fill(*Color::fromHex("#00FF00"));
    auto png = Image(std::move(bitmap)).pngData();
    std::ofstream(path() / "green.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    std::ofstream(path() / "notes.mp4") << "not a video";
  }

  const std::filesystem::path& path() const { return directory_.path(); }
  std::filesystem::path output() const { return path() / "out.mp4"; }

  CommandRun render(const std::string& description) const {
    std::ofstream(path() / "ugc.json") << description;
    return runHost({"render", (path() / "ugc.json").string(), output().string()});
  }

  // Nothing of the output is there, not even a partial file.
  bool holdsNoOutput() const {
    for (const auto& entry : std::filesystem::directory_iterator(path())) {
      if (entry.path().filename().string().starts_with("out.mp4")) return false;
    }
    return true;
  }

 private:
  testing::TemporaryDirectory directory_;
};

Bitmap frameAt(const std::filesystem::path& video, double seconds) {
  auto frame =
      AssetImageGenerator(URLAsset::make(video)).copyImage(MediaTime::withSeconds(seconds, 600));
  EXPECT_TRUE(frame) << frame.error().localizedDescription();
  return frame ? std::move(*frame) : Bitmap(1, 1);
}

TEST(RenderCommand, RendersTheScenesInOrderWithTheirLayers) {
  RenderFolder folder;
  CommandRun run = folder.render(R"({"title": "Two", "options": [{"size": [64, 96]}],
      "scenes": [
        {"layers": [{"video": "red.mp4", "attributes": {"frame": [0, 0, 64, 96]}},
                    {"image": "green.png", "attributes": {"frame": [8, 60, 16, 16]}}]},
        {"options": [{"maxDuration": 1}],
         "layers": [{"video": "blue.mp4", "attributes": {"frame": [0, 0, 64, 96]}}]}]})");
  ASSERT_EQ(run.status, 0) << run.output << run.errors;
  EXPECT_NE(run.output.find("* scene 2: rendered 1.00 s of video in "), std::string::npos)
      << run.output;
  auto asset = URLAsset::make(folder.output());
  EXPECT_NEAR(asset->duration().seconds(), 2.0, 0.04);
  const Bitmap first = frameAt(folder.output(), 0.5);
  ASSERT_EQ(first.width(), 64);
  ASSERT_EQ(first.height(), 96);
  EXPECT_TRUE(testing::near(first.pixel(16, 68), kGreen)) << std::hex << first.pixel(16, 68);
  EXPECT_TRUE(testing::near(first.pixel(48, 36), kRed)) << std::hex << first.pixel(48, 36);
  const Bitmap second = frameAt(folder.output(), 1.5);
  EXPECT_TRUE(testing::near(second.pixel(48, 36), kBlue)) << std::hex << second.pixel(48, 36);
}

struct BadRender {
  const char* name;
  std::string description;
  std::string complaint;  // on standard error
};

class RenderCommandRefuses : public ::testing::TestWithParam<BadRender> {};

TEST_P(RenderCommandRefuses, ExitsWithTheReasonAndWritesNothing) {
  RenderFolder folder;
  CommandRun run = folder.render(GetParam().description);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find(GetParam().complaint), std::string::npos) << run.errors;
  EXPECT_TRUE(folder.holdsNoOutput());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RenderCommandRefuses,
    ::testing::Values(
        BadRender{"BadAttribute",
                  R"({"scenes": [{"layers": [{"video": "red.mp4",
                      "attributes": {"frame": [0, 0, 64]}}]}]})",
                  "scenes[0].layers[0].attributes.frame: expected 4 numbers"},
        BadRender{"MissingVideo", R"({"scenes": [{"layers": [{"video": "gone.mp4",
                      "attributes": {"frame": [0, 0, 64, 96]}}]}]})",
                  "scenes[0].layers[0].video: gone.mp4: No such file or directory"},
        BadRender{
            "NoSceneRenders",
            R"({"options": [{"size": [64, 96]}], "scenes": [{"layers": [{"text": "no video"}]},
                                 {"layers": [{"video": "notes.mp4", "attributes": {"frame": [0, 0, 64, 96]}}]}]})",
            "render: Export failed or cancelled"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RenderCommand, NamesEachSceneLeftOut) {
  RenderFolder folder;
  CommandRun run = folder.render(R"({"options": [{"size": [64, 96]}], "scenes": [
      {"layers": [{"text": "no video"}]}, {"layers": [{"video": "notes.mp4", "attributes": {"frame": [0, 0, 64, 96]}}]},
      {"layers": [{"video": "red.mp4", "attributes": {"frame": [0, 0, 64, 96]}}]}]})");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.output.find("* scene 1: left out: No duration set"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("* scene 2: left out: Video error: "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("* joining 1 of 3 scenes"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace velmoradine
