#include "velmoradine/platform/uikit/desktop_window.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/child_process.hpp"
#include "tests/support/temporary_directory.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine::testing {
namespace {

constexpr auto kBound = std::chrono::seconds(20);

// A private X server on a display of its own choosing, for the duration of
// the test. The machine's setup installs it, so its absence is a failure.
// Without -noreset the server resets whenever its last client leaves, which
// puts the pointer back at the screen's centre: a pointer placed before the
// window connects would not stay there.
class DesktopWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    xvfb_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "800x900x24",
                                 "-nolisten", "tcp", "-noreset"},
        scratch_.path() / "xvfb.log");
    ASSERT_TRUE(xvfb_->running()) << xvfb_->startError();
    auto display = xvfb_->readLine(std::chrono::steady_clock::now() + kBound);
    ASSERT_TRUE(display) << "Xvfb named no display";
    display_.emplace("DISPLAY", ":" + *display);
    videoDriver_.emplace("SDL_VIDEODRIVER", "x11");
    renderDriver_.emplace("SDL_RENDER_DRIVER", "software");
    // Left to itself, SDL draws the window through an OpenGL renderer and
    // dials the session bus: both leak blocks from libraries SDL unloads on
    // quit (Mesa's software driver, libdbus), which LeakSanitizer can then
    // neither place nor suppress. The window's own X11 framebuffer and no
    // bus to reach keep the test clean under every sanitizer.
    framebufferAcceleration_.emplace("SDL_FRAMEBUFFER_ACCELERATION", "0");
    sessionBus_.emplace("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  }

  void TearDown() override {
    if (xvfb_ && xvfb_->running()) xvfb_->stop(SIGTERM);
  }

  TemporaryDirectory scratch_;
  std::unique_ptr<ChildProcess> xvfb_;
  std::optional<ScopedEnvironmentVariable> display_, videoDriver_, renderDriver_,
      framebufferAcceleration_, sessionBus_;
};

// Where the pointer rests (screen coordinates) before the window opens, and
// the xdotool words that then click; WINDOW stands for the window's id. SDL
// centres the window on the 800 x 900 screen, at (212, 44), so the screen's
// point (300, 300) is the window's (88, 256), the button's centre.
struct ClickCase {
  std::string name;
  std::string restingX, restingY;
  std::vector<std::string> click;
};

void PrintTo(const ClickCase& clickCase, std::ostream* stream) {
  *stream << clickCase.name;
}

class DesktopWindowClickTest : public DesktopWindowTest,
                               public ::testing::WithParamInterface<ClickCase> {};

TEST_P(DesktopWindowClickTest, AClickOnTheButtonArrivesAsOneTap) {
  ChildProcess rest({"/usr/bin/xdotool", "mousemove", GetParam().restingX, GetParam().restingY},
                    scratch_.path() / "rest.log");
  ASSERT_EQ(rest.wait(), 0);
  auto window = std::make_shared<UIWindow>(UIScreen({375, 812}, 3));
  auto controller = std::make_shared<UIViewController>();
  window->setRootViewController(controller);
  auto button = std::make_shared<UIButton>(Rect(38, 234, 100, 44));
  int taps = 0;
  button->addAction(UIControlEvents::touchUpInside, [&] { ++taps; });
  controller->view()->setBackgroundColor(Color::white());
  controller->view()->addSubview(button);

  auto opened = DesktopWindow::open(window, "uikit test");
  ASSERT_TRUE(opened) << opened.error().localizedDescription();
  auto& desktop = **opened;
  // Clicks reach a window only once the X server shows it.
  ASSERT_TRUE(desktop.runUntil([&] { return desktop.isExposed(); }, kBound));
  ASSERT_NE(desktop.nativeWindowId(), 0u);

  std::vector<std::string> command{"/usr/bin/xdotool"};
  for (const auto& word : GetParam().click) {
    command.push_back(word == "WINDOW" ? std::to_string(desktop.nativeWindowId()) : word);
  }
  ChildProcess click(command, scratch_.path() / "xdotool.log");
  ASSERT_TRUE(click.running()) << click.startError();
  EXPECT_TRUE(desktop.runUntil([&] { return taps > 0; }, kBound));
  EXPECT_EQ(click.wait(), 0);
  EXPECT_EQ(taps, 1);
}

INSTANTIATE_TEST_SUITE_P(
    PointerPlaces, DesktopWindowClickTest,
    ::testing::Values(ClickCase{"EnteringTheWindowOntoTheButton",
                                "0",
                                "0",
                                {"mousemove", "--window", "WINDOW", "88", "256", "click", "1"}},
                      ClickCase{
                          "RestingOnTheButtonAsTheWindowOpens", "300", "300", {"click", "1"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmoradine::testing
