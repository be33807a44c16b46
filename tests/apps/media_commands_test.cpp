#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine {
namespace {

struct CommandRun {
  int status;
  std::string output;
};

// Runs the command-line host built beside this test.
CommandRun run(const std::string& arguments) {
  auto completed =
      testing::runShellCommand((executableDirectory() / "velmoradine").string() + " " + arguments);
  return {completed.exitStatus, completed.standardOutput};
}

TEST(MediaCommands, ProbePrintsTheVideosFacts) {
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "clip.mp4";
  ASSERT_TRUE(
      testing::writeTestVideo(path, {.width = 64, .height = 48, .frames = 45, .rotation = 270}));
  CommandRun probe = run("probe " + path.string());
  ASSERT_EQ(probe.status, 0);
  auto json = nlohmann::json::parse(probe.output.substr(probe.output.find('{')));
  EXPECT_DOUBLE_EQ(json["duration"].get<double>(), 1.5);
  EXPECT_EQ(json["width"], 64);
  EXPECT_EQ(json["height"], 48);
  EXPECT_EQ(json["rotation"], 270);
  EXPECT_DOUBLE_EQ(json["frame_rate"].get<double>(), 30);
  EXPECT_EQ(json["codec"], "h264");
  EXPECT_EQ(json["frame_count"], 45);
}

TEST(MediaCommands, ThumbnailWritesThePreviewJPEG) {
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "clip.mp4";
  ASSERT_TRUE(testing::writeTestVideo(path, {.width = 160, .height = 120}));
  auto out = directory.path() / "preview.jpg";
  ASSERT_EQ(run("thumbnail " + path.string() + " " + out.string()).status, 0);
  std::ifstream in(out, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  auto image = Image::decodeJPEG(bytes);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 160);
  EXPECT_EQ(image->pixelHeight(), 120);
}

TEST(MediaCommands, BadInputsExitWithAnError) {
  testing::TemporaryDirectory directory;
  auto text = directory.path() / "notes.mp4";
  std::ofstream(text) << "text";
  auto out = directory.path() / "preview.jpg";
  EXPECT_EQ(run("probe " + (directory.path() / "missing.mp4").string()).status, 1);
  EXPECT_EQ(run("probe " + text.string()).status, 1);
  EXPECT_EQ(run("thumbnail " + text.string() + " " + out.string()).status, 1);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(run("probe").status, 2);
}

}  // namespace
}  // namespace velmoradine
