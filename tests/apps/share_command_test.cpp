// `velmoradine share` and the host configuration it reads, run as a user
// runs them, against the real devserver and the faults it injects.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "tests/platform/media/test_videos.hpp"
#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine {
namespace {

struct CommandRun {
  // The exit status, or 128 + the signal that ended the process.
  int status = -1;
  std::string output;
  std::string errors;
};

std::string contentsOf(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs the command-line host built beside this test, in the current main
// bundle.
CommandRun run(const std::string& arguments, const testing::TemporaryDirectory& scratch) {
  const auto errorsFile = scratch.path() / "errors.txt";
  const std::string command = "'" + (executableDirectory() / "velmoradine").string() + "' " +
                              arguments + " 2>'" + errorsFile.string() + "'";
  CommandRun result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  while (std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe))
    result.output.append(buffer.data(), count);
  const int status = pclose(pipe);
  // The shell reports a process killed by a signal as 128 + the signal.
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.errors = contentsOf(errorsFile);
  return result;
}

bool mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ShareCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::writeTestVideo(video_, {.width = 64, .height = 48, .frames = 10}));
  }

  void startServer(std::vector<std::string> faults = {}) {
    std::vector<std::string> arguments{"--api-key", "cli-key", "--app-slug", "cli-app"};
    arguments.insert(arguments.end(), faults.begin(), faults.end());
    server_ = std::make_unique<testing::DevServerProcess>(serverDirectory(), arguments);
    ASSERT_TRUE(server_->running());
    bundle_.writeInfoPlist({{"VelmoradineClientId", "cli-key"},
                            {"VelmoradineAPIBaseURL", server_->baseURL() + "v1/api/sdk/"},
                            {"VelmoradineEventsURL", server_->baseURL() + "v1/events"}});
  }

  CommandRun share(const std::filesystem::path& video) {
    return run("share '" + video.string() + "' --title Trip", scratch_);
  }
  CommandRun share() { return share(video_); }

  std::filesystem::path serverDirectory() const { return scratch_.path() / "server"; }

  testing::TemporaryMainBundle bundle_;
  testing::TemporaryDirectory scratch_;
  std::filesystem::path video_ = scratch_.path() / "clip.mp4";
  std::unique_ptr<testing::DevServerProcess> server_;
};

TEST_F(ShareCommand, PrintsTheLinkOnceLiveThenDeletesTheShare) {
  startServer();
  CommandRun run = share();
  ASSERT_EQ(run.status, 0) << run.output << run.errors;
  EXPECT_TRUE(mentions(run.output, "Public link: http://")) << run.output;
  EXPECT_TRUE(mentions(run.output, "* share deleted")) << run.output;
  EXPECT_EQ(testing::storedFiles(serverDirectory()), 0u);
}

struct Fault {
  const char* name;
  std::vector<std::string> arguments;
  // Test names and failure messages show the case by its name.
  friend void PrintTo(const Fault& value, std::ostream* out) { *out << value.name; }
};

class ShareCommandFault : public ShareCommand, public ::testing::WithParamInterface<Fault> {};

// Each fault strikes after the share was created: the command must fail,
// without crashing, and leave no share behind.
TEST_P(ShareCommandFault, FailsCleanlyAndDeletesTheShare) {
  startServer(GetParam().arguments);
  CommandRun run = share();
  EXPECT_EQ(run.status, 1) << run.output << run.errors;
  EXPECT_TRUE(mentions(run.output, "* share created")) << run.output;
  EXPECT_TRUE(mentions(run.output, "* share deleted")) << run.output;
  EXPECT_FALSE(mentions(run.output, "Public link")) << run.output;
  EXPECT_EQ(testing::storedFiles(serverDirectory()), 0u);
}

const std::string kActivate = "POST /v1/api/sdk/share/activate";

INSTANTIATE_TEST_SUITE_P(
    ShareCommand, ShareCommandFault,
    ::testing::Values(
        Fault{"ActivationFails",
              {"--fault-route", kActivate, "--fault-status", "500", "--fault-rate", "1"}},
        Fault{"ActivationDropped", {"--fault-route", kActivate, "--fault-drop-rate", "1"}},
        Fault{"StorageUnavailable",
              {"--fault-route", "/v1/storage/*", "--fault-status", "503", "--fault-rate", "1"}},
        Fault{"UploadDropped", {"--fault-route", "/v1/storage/*", "--fault-drop-rate", "1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShareCommand, AFailedDeletionExitsNonZeroAndSaysTheLinkMayBeLive) {
  startServer(
      {"--fault-route", "DELETE /v1/api/sdk/share", "--fault-status", "500", "--fault-rate", "1"});
  CommandRun run = share();
  EXPECT_EQ(run.status, 1) << run.output << run.errors;
  EXPECT_TRUE(mentions(run.errors, "may still be live")) << run.errors;
}

TEST_F(ShareCommand, FilesThatAreNotVideosAreRefusedBeforeAnythingIsSent) {
  startServer();
  auto jpeg = scratch_.path() / "photo.mp4";
  std::ofstream(jpeg, std::ios::binary) << std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
  auto text = scratch_.path() / "notes.mp4";
  std::ofstream(text) << "not a video";
  auto pipe = scratch_.path() / "pipe.mp4";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const auto& path : {jpeg, text, pipe, scratch_.path(), scratch_.path() / "missing.mp4"}) {
    CommandRun run = share(path);
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_TRUE(mentions(run.errors, "is not a video that can be shared")) << run.errors;
    EXPECT_FALSE(mentions(run.output, "share created")) << run.output;
  }
}

struct BadAddress {
  const char* name;
  PropertyList value;
  // Test names and failure messages show the case by its name.
  friend void PrintTo(const BadAddress& value, std::ostream* out) { *out << value.name; }
};

class ShareCommandBadAddress : public ShareCommand,
                               public ::testing::WithParamInterface<BadAddress> {};

// An address the host got wrong is never replaced by the built-in backend:
// the command fails, naming the key, without aborting.
TEST_P(ShareCommandBadAddress, IsAConfigurationErrorThatSendsNothing) {
  bundle_.writeInfoPlist({{"VelmoradineClientId", "cli-key"},
                          {"VelmoradineAPIBaseURL", GetParam().value},
                          {"VelmoradineEventsURL", "http://127.0.0.1:9/v1/events"}});
  CommandRun share = this->share();
  EXPECT_EQ(share.status, 1) << share.output << share.errors;
  EXPECT_TRUE(mentions(share.output + share.errors, "VelmoradineAPIBaseURL"));
  EXPECT_FALSE(mentions(share.output, "share created")) << share.output;
  CommandRun info = run("info", scratch_);
  EXPECT_EQ(info.status, 1) << info.output;
  EXPECT_TRUE(mentions(info.output, "api base url: invalid (VelmoradineAPIBaseURL")) << info.output;
}

INSTANTIATE_TEST_SUITE_P(
    ShareCommand, ShareCommandBadAddress,
    ::testing::Values(BadAddress{"Empty", ""}, BadAddress{"Relative", "v1/api/sdk/"},
                      BadAddress{"LineBreak", "http://127.0.0.1:9/\r\nX: 1"},
                      BadAddress{"Script", "javascript:alert(1)"},
                      BadAddress{"Array", PropertyList::Array{"http://127.0.0.1:9/"}},
                      BadAddress{"Boolean", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShareCommand, AnInfoPlistThatIsAPipeOrNestsDeeplyIsRefusedNotHungOnOrCrashedBy) {
  ASSERT_EQ(mkfifo((bundle_.path() / "Info.plist").c_str(), 0600), 0);
  EXPECT_EQ(run("info", scratch_).status, 0);
  EXPECT_EQ(share().status, 1);

  std::filesystem::remove(bundle_.path() / "Info.plist");
  std::string deep = "<plist version=\"1.0\">";
  for (int i = 0; i < 20000; ++i) deep += "<array>";
  for (int i = 0; i < 20000; ++i) deep += "</array>";
  bundle_.writeFile("Info.plist", deep + "</plist>");
  EXPECT_EQ(run("info", scratch_).status, 0);
}

// `velmoradine sheet` shows the share sheet as a host would, uploads the
// content while it is up, and deletes the share when it leaves unshared.
TEST_F(ShareCommand, SheetSavesTheScreenInTheAppearanceAskedForThenDeletesTheShare) {
  startServer();
  struct Case {
    const char* appearance;
    std::array<int, 3> background;
  } cases[] = {{"light", {247, 246, 255}}, {"dark", {15, 15, 15}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.appearance);
    const auto screenshot = scratch_.path() / (std::string(c.appearance) + ".png");
    CommandRun sheet =
        run("sheet '" + video_.string() + "' --title Trip --appearance " + c.appearance +
                " --screen 375x812@2 --screenshot '" + screenshot.string() + "'",
            scratch_);
    ASSERT_EQ(sheet.status, 0) << sheet.output << sheet.errors;
    EXPECT_TRUE(mentions(sheet.output, "* share deleted")) << sheet.output;
    auto image = Image::read(screenshot);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->bitmap().width(), 750);
    // Above the preview, 54 + 20 points down the screen.
    const Color pixel = image->bitmap().colorAt(374, 148);
    auto byte = [](double value) { return int(std::lround(value * 255)); };
    EXPECT_EQ((std::array<int, 3>{byte(pixel.red), byte(pixel.green), byte(pixel.blue)}),
              c.background);
  }
  EXPECT_EQ(testing::storedFiles(serverDirectory()), 0u);
}

TEST_F(ShareCommand, SheetRefusesWhatItCannotShowWithItsReason) {
  struct Case {
    std::string arguments;
    int status;
    std::string reason;
  } cases[] = {
      {"sheet '" + video_.string() + "' --appearance sepia", 2, "usage: velmoradine sheet"},
      {"sheet '" + video_.string() + "' --screen 0x0@3", 2, "usage: velmoradine sheet"},
      {"sheet '" + (scratch_.path() / "none.mp4").string() + "'", 1, "is not a video file"},
      {"sheet '" + video_.string() + "' --tap nowhere", 1, "no outlet named \"nowhere\""},
  };
  for (const auto& c : cases) {
    CommandRun sheet = run(c.arguments, scratch_);
    EXPECT_EQ(sheet.status, c.status) << c.arguments << sheet.output;
    EXPECT_TRUE(mentions(sheet.errors, c.reason)) << c.arguments << ": " << sheet.errors;
  }
}

}  // namespace
}  // namespace velmoradine
