#include "velmoradine/platform/services/desktop_pasteboard.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/platform/services/temporary_desktop.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using namespace std::chrono_literals;
using testing::ScopedEnvironmentVariable;
using testing::TemporaryDesktop;

struct ExpiryCase {
  std::string name;
  std::optional<std::chrono::seconds> expiresIn;
  std::chrono::seconds elapsed;
  bool present;
};

void PrintTo(const ExpiryCase& example, std::ostream* out) {
  *out << example.name;
}

class PasteboardExpiry : public ::testing::TestWithParam<ExpiryCase> {};

TEST_P(PasteboardExpiry, ExpiredItemsReadAsGone) {
  const auto& example = GetParam();
  TemporaryDesktop desktop;
  testing::ScopedManualClock clock;
  DesktopPasteboard pasteboard;
  const PasteboardItem item = {{"public.utf8-plain-text", std::string("hello")},
                               {"com.example.colour", std::string("#FFFFFF")}};
  std::optional<Pasteboard::Clock::time_point> expiration;
  if (example.expiresIn) expiration = clock.clock().now() + *example.expiresIn;

  pasteboard.setItems({item}, expiration);
  clock.advance(example.elapsed);

  EXPECT_EQ(pasteboard.items(),
            example.present ? std::vector{item} : std::vector<PasteboardItem>{});
  EXPECT_EQ(pasteboard.string(),
            example.present ? std::optional<std::string>("hello") : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Expiry, PasteboardExpiry,
                         ::testing::Values(ExpiryCase{"NoExpiry", std::nullopt, 3600s, true},
                                           ExpiryCase{"BeforeExpiry", 300s, 299s, true},
                                           ExpiryCase{"AtExpiry", 300s, 300s, false}),
                         [](const auto& info) { return info.param.name; });

std::string fileText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A stand-in for a clipboard program: it appends its arguments, one call a
// line, to "arguments" and keeps what it read in "input". Gives its folder.
std::filesystem::path installFakeProgram(const TemporaryDesktop& desktop, const std::string& name) {
  const auto bin = desktop.root() / "bin";
  testing::writeText(bin / name, "#!/bin/sh\necho \"$*\" >> '" +
                                     (desktop.root() / "arguments").string() + "'\n/bin/cat > '" +
                                     (desktop.root() / "input").string() + "'\n");
  std::filesystem::permissions(bin / name, std::filesystem::perms::owner_all);
  return bin;
}

void waitForPublishing(const DesktopPasteboard& pasteboard) {
  std::atomic<bool> published = false;
  pasteboard.afterPublishing([&] { published = true; });
  ASSERT_TRUE(testing::waitUntil([&] { return published.load(); }));
}

struct PublishCase {
  std::string name;
  std::string sessionVariable;
  std::string program;
  std::string expectedArguments;
};

void PrintTo(const PublishCase& example, std::ostream* out) {
  *out << example.name;
}

class ClipboardPublishing : public ::testing::TestWithParam<PublishCase> {};

TEST_P(ClipboardPublishing, SendsTheVideoAsMP4ToTheSessionsClipboardProgram) {
  const auto& example = GetParam();
  TemporaryDesktop desktop;
  ScopedEnvironmentVariable path("PATH", installFakeProgram(desktop, example.program).string());
  ScopedEnvironmentVariable session(example.sessionVariable, "test-session");
  const auto video = std::make_shared<const Data>(
      Data{0, 0, 0, 24, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0, 1, 2, 3});
  DesktopPasteboard pasteboard;

  pasteboard.setItems(
      {{{"com.example.backgroundVideo", video}, {"com.example.colour", std::string("#FFFFFF")}}},
      std::nullopt);
  waitForPublishing(pasteboard);

  EXPECT_EQ(fileText(desktop.root() / "arguments"), example.expectedArguments + "\n");
  const std::string input = fileText(desktop.root() / "input");
  EXPECT_EQ(Data(input.begin(), input.end()), *video);
}

INSTANTIATE_TEST_SUITE_P(Sessions, ClipboardPublishing,
                         ::testing::Values(PublishCase{"Wayland", "WAYLAND_DISPLAY", "wl-copy",
                                                       "--type video/mp4"},
                                           PublishCase{"X11", "DISPLAY", "xclip",
                                                       "-selection clipboard -target video/mp4"}),
                         [](const auto& info) { return info.param.name; });

TEST(ClipboardPublishing, AnExpiredCopyIsClearedFromTheDesktopClipboard) {
  TemporaryDesktop desktop;
  testing::ScopedManualClock clock;
  ScopedEnvironmentVariable path("PATH", installFakeProgram(desktop, "wl-copy").string());
  ScopedEnvironmentVariable session("WAYLAND_DISPLAY", "wayland-0");
  DesktopPasteboard pasteboard;

  pasteboard.setItems({{{"public.utf8-plain-text", std::string("story")}}},
                      clock.clock().now() + 300s);
  waitForPublishing(pasteboard);
  EXPECT_EQ(fileText(desktop.root() / "input"), "story");
  clock.advance(300s);
  waitForPublishing(pasteboard);

  EXPECT_EQ(fileText(desktop.root() / "arguments"), "\n--clear\n");
}

TEST(ClipboardPublishing, WithoutTheProgramTheCopyStaysInTheProcess) {
  TemporaryDesktop desktop;
  ScopedEnvironmentVariable path("PATH", (desktop.root() / "empty").string());
  ScopedEnvironmentVariable session("DISPLAY", ":0");
  console::Capture capture;
  DesktopPasteboard pasteboard;

  pasteboard.setString("https://example.com/v/1");
  waitForPublishing(pasteboard);

  EXPECT_TRUE(
      capture.contains("Pasteboard: xclip is not installed; the copy stays in this application"));
  EXPECT_EQ(pasteboard.string(), "https://example.com/v/1");
}

}  // namespace
}  // namespace velmoradine
