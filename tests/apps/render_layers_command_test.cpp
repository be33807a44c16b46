#include <gtest/gtest.h>
#include <sys/stat.h>

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
  EXPECT_NE(run.errors.find("layers[1].sublayers[0].borderWidth: expected a number"),
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

// `depth` levels of `open` … `close` around a number.
std::string nested(int depth, const std::string& open, const std::string& close) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += "1";
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

struct HostileDescription {
  const char* name;
  std::string layer;
  const char* reason;
  // Test names and failure messages show the case by its name.
  friend void PrintTo(const HostileDescription& value, std::ostream* out) { *out << value.name; }
};

class RenderLayersHostile : public ::testing::TestWithParam<HostileDescription> {};

// Descriptions and files meant to exhaust the stack, memory or patience get
// a clear error, and nothing is written.
TEST_P(RenderLayersHostile, IsRefusedWithAClearError) {
  testing::TemporaryDirectory directory;
  ASSERT_EQ(mkfifo((directory.path() / "pipe.png").c_str(), 0600), 0);
  std::filesystem::create_directory(directory.path() / "folder.png");
  // A PNG of 57 bytes whose header claims 30000 × 30000 pixels.
  std::ofstream(directory.path() / "huge.png", std::ios::binary) << std::string(
      "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x75"
      "\x30\x00\x00\x75\x30\x08\x06\x00\x00\x00\x66\x27\xF8\xBA\x00\x00\x00\x00\x49"
      "\x44\x41\x54\x35\xAF\x06\x1E\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82",
      57);
  CommandRun run =
      renderLayers(directory, R"({"size": [8, 8], "layers": [)" + GetParam().layer + "]}");
  EXPECT_EQ(run.status, 1) << run.errors;
  EXPECT_NE(run.errors.find(GetParam().reason), std::string::npos) << run.errors;
  EXPECT_FALSE(std::filesystem::exists(directory.path() / "out.png"));
}

INSTANTIATE_TEST_SUITE_P(
    RenderLayersCommand, RenderLayersHostile,
    ::testing::Values(
        HostileDescription{"DeepStyle", R"({"style": )" + nested(50000, R"({"a": )", "}") + "}",
                           "nests deeper"},
        HostileDescription{"DeepFilters", R"({"filters": )" + nested(50000, "[", "]") + "}",
                           "nests deeper"},
        HostileDescription{"DeepActions", R"({"actions": )" + nested(50000, R"({"a": )", "}") + "}",
                           "nests deeper"},
        HostileDescription{"ContentsDirectory", R"({"contents": "folder.png"})",
                           "could not be read"},
        HostileDescription{"ContentsDevice", R"({"contents": "/dev/zero"})", "could not be read"},
        HostileDescription{"ContentsPipe", R"({"contents": "pipe.png"})", "could not be read"},
        HostileDescription{"ContentsBeyondThePixelBudget", R"({"contents": "huge.png"})",
                           "too large"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmoradine
