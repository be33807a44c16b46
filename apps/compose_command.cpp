// `velmoradine compose UGC.json [--outlet NAME] [--answer yes|no]
// [--toast MESSAGE] [--screens DIR] [--window]`: the kit's main flow, as a
// host application and a hurried user run it. The UGC is built from its
// description through the public API, every scene's `ready` and the UGC's
// `ready` are called, and the UGC presents itself on a window: its share
// sheet at once, or a toast that is tapped. The sheet plays the live preview
// while the scenes render, and the outlet is tapped at once, so its cell
// spins until the video exists. The outcome is printed as the host hears it;
// the status is 0 only when the video was shared.
//
// Headless by default: the user is a SheetDriver. With --window the screen is
// a real window and the user is whoever clicks in it.

#include <cstdio>
#include <optional>

#include "commands.hpp"
#include "host_application.hpp"
#include "sheet_driver.hpp"
#include "ugc_building.hpp"
#include "ugc_render_progress.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/dispatch/timer.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/desktop_window.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/share/video_content_future.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine::cli {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// Rendering, the share's uploads and a user's hesitation: a bound against
// waiting for ever, not a time anything should take.
constexpr auto kLongestPresentation = std::chrono::minutes(30);
// How long the share may take to go live once the outlet has shared.
constexpr auto kLongestGoingLive = std::chrono::minutes(5);
// How long the share's requests may take to be answered once nobody needs
// them any more (a deletion, the rest of an upload).
constexpr auto kLongestSettling = std::chrono::minutes(2);
// A sheet still sliding in or out is let finish before it is closed.
constexpr auto kLongestTransition = std::chrono::seconds(2);
constexpr auto kLongestAnalyticsUpload = std::chrono::seconds(65);
// How often the headless user looks at the screen.
constexpr auto kLookInterval = std::chrono::milliseconds(20);

void say(const std::string& line) {
  console::writeLine("* " + line);
}

void complain(const std::string& line) {
  std::fprintf(stderr, "compose: %s\n", line.c_str());
}

struct ComposeOptions {
  fs::path input;
  std::optional<std::string> outlet;
  bool answerYes = true;
  std::optional<std::string> toast;
  std::optional<fs::path> screens;
  bool window = false;
};

std::optional<ComposeOptions> parse(const Arguments& arguments) {
  ComposeOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (word == "--outlet" && hasValue) {
      options.outlet = arguments[++i];
    } else if (word == "--answer" && hasValue &&
               (arguments[i + 1] == "yes" || arguments[i + 1] == "no")) {
      options.answerYes = arguments[++i] == "yes";
    } else if (word == "--toast" && hasValue) {
      options.toast = arguments[++i];
    } else if (word == "--screens" && hasValue) {
      options.screens = arguments[++i];
    } else if (word == "--window") {
      options.window = true;
    } else if (options.input.empty() && !word.starts_with("--")) {
      options.input = word;
    } else {
      return std::nullopt;
    }
  }
  // In a window the user picks the outlet.
  if (options.input.empty() || (options.window && options.outlet)) return std::nullopt;
  if (!options.window && !options.outlet) options.outlet = "copy";
  return options;
}

// What the composing leaves to report: the host's result, once heard, and
// the UGC's own outcome.
struct Outcome {
  std::optional<PresentationResult> presentation;
  // The sheet's future of the video content, taken while the sheet is on
  // screen: the content made of the video, whose share pipeline goes on
  // after the sheet.
  std::shared_ptr<VideoContentFuture> future;
  std::optional<Result<SuccessfulRenderingResult>> rendering;
};

std::shared_ptr<UIWindow> makeWindow() {
  auto window = std::make_shared<UIWindow>();
  auto host = std::make_shared<UIViewController>();
  host->view()->setBackgroundColor(Color::white());
  window->setRootViewController(host);
  return window;
}

std::shared_ptr<ShareSheetViewController> presentedSheet(const UIWindow& window) {
  return std::dynamic_pointer_cast<ShareSheetViewController>(
      window.rootViewController()->presentedViewController());
}

// The video content the future made of the rendered video, if it got that
// far.
std::shared_ptr<VideoContent> contentOf(const std::shared_ptr<VideoContentFuture>& future) {
  auto result = future ? future->videoContentResult() : std::nullopt;
  return result && *result ? **result : nullptr;
}

// Runs the main run loop until `done()`, looking at it at least every
// `kLookInterval`: what it waits for may change on the kit's threads
// without a task on the loop. False when it took longer than `bound`.
bool pollUntil(const std::function<bool()>& done, SteadyClock::duration bound) {
  auto polls = Timer::scheduledTimer(
      kLookInterval, true, [](Timer&) {}, RunLoop::main());
  const bool finished = RunLoop::main().runUntil(done, bound);
  polls->invalidate();
  return finished;
}

// Runs the main run loop, headless, until `done()`, with the driver looking
// at the screen in between. False when it took too long.
bool runHeadless(const std::shared_ptr<SheetDriver>& driver, const std::function<bool()>& done) {
  auto looks = Timer::scheduledTimer(
      kLookInterval, true, [driver](Timer&) { driver->step(); }, RunLoop::main());
  const bool finished = RunLoop::main().runUntil(done, kLongestPresentation);
  looks->invalidate();
  return finished;
}

// Shows the window on the desktop until `done()` or the user closes it.
// False when it could not be shown or ended without `done()`.
bool runInWindow(const std::shared_ptr<UIWindow>& window, const std::function<bool()>& done) {
  auto desktop = DesktopWindow::open(window, "Velmoradine compose");
  if (!desktop) {
    complain("cannot open a window: " + errorText(desktop.error()));
    return false;
  }
  say("click an outlet in the window");
  (*desktop)->runUntil([&] { return done() || (*desktop)->isClosed(); }, kLongestPresentation);
  if (done()) return true;
  complain((*desktop)->isClosed() ? "the window was closed before the video was shared"
                                  : "nothing was shared in time");
  return false;
}

// Once an outlet has shared: waits until the share is live or withdrawn, and
// prints the link when the outlet kept it (the share of an outlet that did
// not use the link is deleted).
void reportLink(const std::shared_ptr<VideoContent>& content) {
  if (!content) return;
  const bool settled = pollUntil(
      [&] {
        return content->linkPreviewAvailable() || content->shareManager()->destroyed() ||
               content->pipelineError();
      },
      kLongestGoingLive);
  if (auto link = content->linkPreviewStrategy(); link && !content->shareManager()->destroyed()) {
    std::printf("Public link: %s\n", link->link().c_str());
    std::fflush(stdout);
  } else if (auto error = content->pipelineError()) {
    complain("the share did not go live: " + errorText(*error));
  } else if (!settled) {
    complain("the share did not go live in time");
  }
}

// The user left without an outcome (closed the window, or took longer than
// any user would): the sheet goes as a swipe takes it away, which reports
// `cancelled` and withdraws the share of a video that is still to come.
void closeSheet(const UIWindow& window, Outcome& outcome) {
  auto sheet = presentedSheet(window);
  if (!sheet) return;
  outcome.future = sheet->vidoeContentFuture();
  auto presentation = sheet->presentationController();
  pollUntil([&] { return !presentation->isTransitioning(); }, kLongestTransition);
  presentation->dismiss(false, true, nullptr);
}

// Waits until the content's share pipeline has nothing on its way any more:
// live, failed, or its deletion answered. Ending sooner would cut off a
// deletion the user asked for, or tear the kit down under its threads.
void waitForTheShareToSettle(const std::shared_ptr<VideoContentFuture>& future) {
  if (!future) return;
  const bool settled = pollUntil(
      [&] {
        auto result = future->videoContentResult();
        return result && (!*result || (**result)->shareManager()->settled());
      },
      kLongestSettling);
  if (!settled) complain("the share's requests were not answered in time; ending without them");
}

// The scene videos and the joined one in the caches folder: the content
// holds the joined video's bytes, and its share has settled by now.
void removeKitFiles(const UGCRenderProgress& progress) {
  std::error_code ignored;
  for (const fs::path& file : progress.renderedFiles()) fs::remove(file, ignored);
}

int compose(const ComposeOptions& options, const UGCDescription& description) {
  HostApplication application;
  auto progress = UGCRenderProgress::make(description.scenes.size(), say);
  auto outcome = std::make_shared<Outcome>();
  auto window = makeWindow();
  auto driver = std::make_shared<SheetDriver>(
      window, SheetDriver::Options{options.outlet, options.answerYes, options.screens}, say);
  std::shared_ptr<UGC> ugc = buildUGC(description, *progress, progress->providers());
  readyAtOnce(ugc, progress, [outcome, progress](Result<SuccessfulRenderingResult> result) {
    RunLoop::main().perform([outcome, progress, result] {
      outcome->rendering = result;
      progress->joinReported(result);
    });
  });
  const auto style =
      options.toast ? PresentationStyle::toast(*options.toast) : PresentationStyle::shareSheet();
  ugc->present(window->rootViewController(), style,
               [outcome](const PresentationResult& result) { outcome->presentation = result; });
  // The sheet is off the screen by the time a swipe's result is heard: its
  // future is taken while it is still up.
  auto presented = [outcome, screen = window.get()] {
    if (auto sheet = presentedSheet(*screen)) outcome->future = sheet->vidoeContentFuture();
    return outcome->presentation.has_value();
  };
  const bool heard =
      options.window ? runInWindow(window, presented) : runHeadless(driver, presented);
  if (!heard && !options.window) complain("nothing was shared in time");
  if (!heard) closeSheet(*window, *outcome);
  if (auto problem = driver->problem()) complain(*problem);
  const PresentationResult result = outcome->presentation.value_or(PresentationResult::cancelled());
  std::printf("Presentation result: %s\n", result.description().c_str());
  std::fflush(stdout);
  if (result.isShared()) reportLink(contentOf(outcome->future));
  driver->saveScreen("5-outcome");
  application.enterBackground(kLongestAnalyticsUpload);
  // The exports go on after a user who gave up early; the process ends
  // once they have, and with them the files they write.
  if (!outcome->rendering) say("waiting for the render to end");
  RunLoop::main().runUntil([outcome] { return outcome->rendering.has_value(); },
                           kLongestPresentation);
  if (outcome->rendering && !*outcome->rendering) {
    complain("the video could not be made: " + errorText(outcome->rendering->error()));
  }
  waitForTheShareToSettle(outcome->future);
  removeKitFiles(*progress);
  return result.isShared() ? 0 : 1;
}

}  // namespace

int composeCommand(const Arguments& arguments) {
  std::optional<ComposeOptions> options = parse(arguments);
  if (!options) return usageError("compose");
  Result<UGCDescription> description = readUGCDescription(options->input);
  if (!description) {
    complain(options->input.string() + ": " + description.error().localizedDescription());
    return 1;
  }
  if (options->screens) {
    std::error_code code;
    fs::create_directories(*options->screens, code);
    if (code) {
      complain("cannot make " + options->screens->string() + ": " + code.message());
      return 1;
    }
  }
  return compose(*options, *description);
}

}  // namespace velmoradine::cli
