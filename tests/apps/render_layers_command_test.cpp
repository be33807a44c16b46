#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/child_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine {
namespace {

// The command-line host built beside this test.
std::filesystem::path hostProgram() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velmoradine";
}

struct CommandRun {
  int status;
  std::string errors;
};

CommandRun renderLayers(const testing::TemporaryDirectory& directory,
                        const std::string& description) {
  std::ofstream(directory.path() / "d.json") << description;
  std::string command = "'" + hostProgram().string() + "' render-layers '" +
                        (directory.path() / "d.json").string() + "' '" +
                        (directory.path() / "out.png").string() + "' 2>'" +
                        (directory.path() / "errors.txt").string() + "'";
  int status = testing::runShellCommand(command).exitStatus;
  std::ifstream errors(directory.path() / "errors.txt");
  std::string text((std::istreambuf_iterator<char>(errors)), std::istreambuf_iterator<char>());
  return {status, text};
}

TEST(RenderLayersCommand, WritesThePNGOfTheDescription) {
  testing::TemporaryDirectory directory;
  CommandRun run = renderLayers(directory, R"({"size": [40, 20], "background": "#0000FF",
      "layers": [{"frame": [20, 0, 20, 20], "backgroundColor": "#FF0000"}]})");
  ASSERT_EQ(run.status, 0) << run.errors;
  auto image = Image::read(directory.path() / "out.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 40);
  EXPECT_EQ(image->pixelHeight(), 20);
  EXPECT_EQ(image->bitmap().pixel(5, 10), 0xFF0000FFu);
  EXPECT_EQ(image->bitmap().pixel(30, 10), 0xFFFF0000u);
}

TEST(RenderLayersCommand, AnErrorNamesKeyAndPathAndWritesNothing) {
  testing::TemporaryDirectory directory;
  CommandRun run = renderLayers(
      directory, R"({"size": [40, 20], "layers": [{}, {"sublayers": [{"borderWidth": true}]}]})");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("layers[1].sublayers[0]: \"borderWidth\": expected a number"),
            std::string::npos)
      << run.errors;
  EXPECT_FALSE(std::filesystem::exists(directory.path() / "out.png"));
}

TEST(RenderLayersCommand, MissingDescriptionAndBadUsage) {
  testing::TemporaryDirectory directory;
  std::string missing = "'" + hostProgram().string() + "' render-layers /nonexistent/d.json '" +
                        (directory.path() / "o.png").string() + "' 2>/dev/null";
  EXPECT_EQ(testing::runShellCommand(missing).exitStatus, 1);
  std::string usage = "'" + hostProgram().string() + "' render-layers only-one 2>/dev/null";
  EXPECT_EQ(testing::runShellCommand(usage).exitStatus, 2);
}

}  // namespace
}  // namespace velmoradine
