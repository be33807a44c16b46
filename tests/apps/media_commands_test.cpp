#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/apps/command_line.hpp"
#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/media/image_generator.hpp"

namespace velmoradine {
namespace {

using testing::CommandRun;
using testing::runHost;

TEST(MediaCommands, ProbePrintsTheVideosFacts) {
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "clip.mp4";
  ASSERT_TRUE(
      testing::writeTestVideo(path, {.width = 64, .height = 48, .frames = 45, .rotation = 270}));
  CommandRun probe = runHost({"probe", path.string()});
  ASSERT_EQ(probe.status, 0) << probe.errors;
  auto json = nlohmann::json::parse(probe.output);
  EXPECT_DOUBLE_EQ(json["duration"].get<double>(), 1.5);
  EXPECT_EQ(json["width"], 64);
  EXPECT_EQ(json["height"], 48);
  EXPECT_EQ(json["display_width"], 48);
  EXPECT_EQ(json["display_height"], 64);
  EXPECT_EQ(json["pixel_aspect_ratio"], "1:1");
  EXPECT_EQ(json["rotation"], 270);
  EXPECT_DOUBLE_EQ(json["frame_rate"].get<double>(), 30);
  EXPECT_EQ(json["codec"], "h264");
  EXPECT_EQ(json["pixel_format"], "yuv420p");
  EXPECT_EQ(json["color_matrix"], "smpte170m");
  EXPECT_EQ(json["color_range"], "limited");
  EXPECT_EQ(json["color_primaries"], "smpte170m");
  EXPECT_EQ(json["color_transfer"], "smpte170m");
  EXPECT_EQ(json["frame_count"], 45);
  EXPECT_EQ(json["has_audio"], false);
  EXPECT_EQ(json["complete"], true);
}

TEST(MediaCommands, ProbeDescribesWhatACutFileHoldsAndThumbnailRefusesIt) {
  testing::TemporaryDirectory directory;
  auto whole = directory.path() / "whole.mp4";
  ASSERT_TRUE(testing::writeTestVideo(whole, {.width = 320, .height = 240, .frames = 60}));
  auto cut = directory.path() / "cut.mp4";
  std::filesystem::copy_file(whole, cut);
  std::filesystem::resize_file(cut, std::filesystem::file_size(whole) / 2);
  CommandRun probe = runHost({"probe", cut.string()});
  ASSERT_EQ(probe.status, 0) << probe.errors;
  auto json = nlohmann::json::parse(probe.output);
  EXPECT_EQ(json["complete"], false);
  EXPECT_GT(json["frame_count"].get<int>(), 0);
  EXPECT_LT(json["frame_count"].get<int>(), 60);
  EXPECT_LT(json["duration"].get<double>(), 2.0);
  CommandRun thumbnail =
      runHost({"thumbnail", cut.string(), (directory.path() / "t.jpg").string()});
  EXPECT_EQ(thumbnail.status, 1);
  EXPECT_TRUE(thumbnail.errors.find("The video file is incomplete.") != std::string::npos)
      << thumbnail.errors;
}

TEST(MediaCommands, ThumbnailWritesThePreviewJPEG) {
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "clip.mp4";
  ASSERT_TRUE(testing::writeTestVideo(path, {.width = 160, .height = 120}));
  auto out = directory.path() / "preview.jpg";
  ASSERT_EQ(runHost({"thumbnail", path.string(), out.string()}).status, 0);
  std::ifstream in(out, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  auto image = Image::decodeJPEG(bytes);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 160);
  EXPECT_EQ(image->pixelHeight(), 120);
}

TEST(MediaCommands, BadInputsExitWithTheirReasonOnStandardError) {
  testing::TemporaryDirectory directory;
  auto text = directory.path() / "notes.mp4";
  std::ofstream(text) << "text";
  const std::string missing = (directory.path() / "missing.mp4").string();
  auto out = directory.path() / "preview.jpg";
  const struct {
    std::vector<std::string> arguments;
    std::string reason;
  } cases[] = {
      {{"probe", missing}, "The media file does not exist. (" + missing + ")"},
      {{"probe", text.string()}, "The file is not a readable media file."},
      {{"thumbnail", missing, out.string()}, "The media file does not exist. (" + missing + ")"},
      {{"thumbnail", text.string(), out.string()}, "The file is not a readable media file."},
  };
  for (const auto& [arguments, reason] : cases) {
    CommandRun run = runHost(arguments);
    EXPECT_EQ(run.status, 1) << arguments[0] << " " << arguments[1];
    EXPECT_TRUE(run.errors.starts_with("velmoradine " + arguments[0] + ": " + reason))
        << run.errors;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(MediaCommands, MakeSampleFillsTheWholeFrame) {
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "sample.mp4";
  CommandRun run = runHost({"make-sample", path.string(), "--seconds", "0.1"});
  ASSERT_EQ(run.status, 0) << run.errors;
  auto frame = AssetImageGenerator(URLAsset::make(path)).copyImage(MediaTime::zero());
  ASSERT_TRUE(frame) << frame.error().localizedDescription();
  const int width = frame->width(), height = frame->height();
  ASSERT_EQ(width, 540);
  ASSERT_EQ(height, 960);
  // The first frame: a card centred on a blue-grey ground, a white caption
  // near the bottom.
  constexpr std::uint32_t kGround = 0xff263373, kCard = 0xfff27333;
  const struct {
    int x, y;
    std::uint32_t color;
  } samples[] = {
      {width / 2, height / 2, kCard},   {2, 2, kGround},
      {width - 3, 2, kGround},          {2, height - 3, kGround},
      {width - 3, height - 3, kGround},
  };
  for (const auto& [x, y, color] : samples) {
    EXPECT_TRUE(testing::near(frame->pixel(x, y), color, 8))
        << x << "," << y << ": " << std::hex << frame->pixel(x, y);
  }
  // The caption shows across its band, on both sides of the centre line.
  int whiteLeft = 0, whiteRight = 0;
  for (int y = height * 8 / 10; y < height * 9 / 10; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!testing::near(frame->pixel(x, y), 0xffffffff, 40)) continue;
      ++(x < width / 2 ? whiteLeft : whiteRight);
    }
  }
  EXPECT_GT(whiteLeft, 100);
  EXPECT_GT(whiteRight, 100);
}

}  // namespace
}  // namespace velmoradine
