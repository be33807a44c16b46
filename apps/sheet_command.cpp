// `velmoradine sheet VIDEO --title TEXT [--screenshot OUT.png] [--appearance
// light|dark] [--screen 375x812@3] [--tap NAME] [--window]`: presents the
// kit's share sheet for a local video on a headless window, as a host
// application would, against the configured backend. `--tap` taps an
// outlet's cell as a finger would (scrolling the row first when the cell is
// out of sight) and waits for what the tap leads to; `--screenshot` saves
// what the screen then shows; `--window` shows it on the desktop until the
// window is closed.
//
// The content starts uploading as soon as the sheet is up. Unless an outlet
// shared it, the command cleans up as a host does when the user swipes the
// sheet away: once the upload has settled the share is deleted, and the
// command waits for the answer.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "commands.hpp"
#include "local_video_provider.hpp"
#include "share_pipeline.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/uikit/desktop_window.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"
#include "velmoradine/ui/share_outlet_cell_view.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine::cli {
namespace {

// Long enough for an outlet that waits for the link: the upload of a video.
constexpr auto kOutcomeTimeout = std::chrono::minutes(5);
constexpr auto kSettleTimeout = std::chrono::seconds(10);
// The upload and the deletion after it, as `velmoradine share` allows them.
constexpr auto kCleanupTimeout = std::chrono::minutes(10);

void say(const std::string& line) {
  std::printf("* %s\n", line.c_str());
  std::fflush(stdout);
}

void complain(const std::string& reason) {
  std::fprintf(stderr, "error: %s\n", reason.c_str());
}

int fail(const std::string& reason) {
  complain(reason);
  return 1;
}

bool refuse(const std::string& reason) {
  complain(reason);
  return false;
}

struct SheetOptions {
  std::string video;
  std::string title;
  std::optional<std::filesystem::path> screenshot;
  UIUserInterfaceStyle appearance = UIUserInterfaceStyle::light;
  UIScreen screen{{375, 812}, 3};
  std::optional<std::string> tap;
  bool window = false;
};

// Reads the value of option `name` into `options`; false for a value it
// does not take.
bool readValue(const std::string& name, const std::string& value, SheetOptions& options) {
  if (name == "--title") {
    options.title = value;
  } else if (name == "--screenshot") {
    options.screenshot = value;
  } else if (name == "--tap") {
    options.tap = value;
  } else if (name == "--appearance" && (value == "light" || value == "dark")) {
    options.appearance = value == "dark" ? UIUserInterfaceStyle::dark : UIUserInterfaceStyle::light;
  } else if (auto screen = UIScreen::fromDescription(value); name == "--screen" && screen) {
    options.screen = *screen;
  } else {
    return false;
  }
  return true;
}

std::optional<SheetOptions> parse(const Arguments& arguments) {
  SheetOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--window") {
      options.window = true;
    } else if (word.starts_with("--")) {
      if (i + 1 >= arguments.size() || !readValue(word, arguments[++i], options)) {
        return std::nullopt;
      }
    } else if (options.video.empty()) {
      options.video = word;
    } else {
      return std::nullopt;
    }
  }
  if (options.video.empty()) return std::nullopt;
  return options;
}

// The video's first frame, or why the file is no video the sheet can show.
Result<Image> firstFrame(const std::filesystem::path& path) {
  auto asset = URLAsset::make(path);
  if (auto error = asset->loadError()) return failure(*error);
  return grabThumbnail(asset, 0);
}

// Lets presentations and animations end, then draws the screen.
void settle(UIWindow& window) {
  RunLoop::main().drain();
  RunLoop::main().runUntil([&] { return !window.hasRunningAnimations(); }, kSettleTimeout);
  window.displayIfNeeded();
}

// Scrolls the outlet row so that item `index` is in sight, as a finger
// would, and gives the centre of its icon in the window.
std::optional<Point> revealOutlet(ShareSheetViewController& sheet, int index) {
  const auto& row = sheet.shareOutletView();
  row->scrollToItem({index, 0}, UICollectionViewScrollPosition::none, false);
  auto cell = std::dynamic_pointer_cast<ShareOutletCellView>(row->cellForItem({index, 0}));
  if (!cell) return std::nullopt;
  const auto& icon = cell->imageView();
  return icon->convertToWindow({icon->bounds().width() / 2, icon->bounds().height() / 2});
}

// Taps the outlet whose canonical name is `name` and waits until the tap
// has led somewhere: the sheet closed, something was presented over it
// (an alert, the outlet's own screen), or the outlet finished.
bool tapOutlet(UIWindow& window, ShareSheetViewController& sheet, const std::string& name,
               const std::optional<PresentationResult>& result) {
  const auto& outlets = sheet.shareOutlets();
  auto found = std::ranges::find(outlets, name, &ShareOutletType::canonicalOutletName);
  if (found == outlets.end()) {
    std::string names;
    for (const auto& outlet : outlets) names += " " + outlet->canonicalOutletName();
    return refuse("no outlet named \"" + name +
                  "\" on the sheet; it offers:" + (names.empty() ? " none" : names));
    return false;
  }
  auto point = revealOutlet(sheet, static_cast<int>(found - outlets.begin()));
  if (!point) return refuse("the outlet's cell cannot be shown");
  say("tapping " + name);
  window.tap(*point);
  const bool settled = RunLoop::main().runUntil(
      [&] {
        return result || window.topViewController().get() != &sheet ||
               (!sheet.spinningCellIndex() && !sheet.currentlySharingOulet());
      },
      kOutcomeTimeout);
  if (!settled) say("the outlet has not finished yet");
  settle(window);
  return true;
}

bool writeScreenshot(UIWindow& window, const std::filesystem::path& path) {
  Result<std::vector<std::uint8_t>> png = window.snapshot().pngData();
  if (!png) return refuse("cannot encode the screenshot: " + errorText(png.error()));
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  file.close();
  if (!file) return refuse("cannot write " + path.string());
  say("screenshot saved to " + path.string());
  return true;
}

bool showOnDesktop(const std::shared_ptr<UIWindow>& window) {
  auto desktop = DesktopWindow::open(window, "Velmoradine share sheet");
  if (!desktop) return refuse("cannot open a window: " + errorText(desktop.error()));
  say("showing the sheet; close the window to finish");
  (*desktop)->run();
  return true;
}

// What a host does when the user leaves without sharing: once the upload
// has settled, the content is cleaned up with nothing used, which deletes
// the share. True when no share is left behind.
bool cleanUp(ShareSheetViewController& sheet, const PipelineObserver& observer, bool closed) {
  RunLoop::main().runUntil([&] { return observer.settled(); }, kCleanupTimeout);
  if (!closed && sheet.content()) sheet.content()->cleanupContent({});
  if (!observer.shareCreated()) return true;
  RunLoop::main().runUntil([&] { return observer.deletion().has_value() || closed; },
                           kCleanupTimeout);
  if (auto deletion = observer.deletion(); deletion && *deletion) {
    return refuse("the share could not be deleted: its link may still be live");
  }
  return true;
}

int present(const SheetOptions& options, Image preview) {
  UIScreen::main() = options.screen;
  UIScreen::main().setTraitCollection({options.appearance});
  auto window = std::make_shared<UIWindow>(UIScreen::main());
  window->setOverrideUserInterfaceStyle(options.appearance);
  auto root = std::make_shared<UIViewController>();
  window->setRootViewController(root);
  // Outlets put their prompts (the photo library's, say) on the key window.
  window->makeKeyAndVisible();
  root->view()->setBackgroundColor(
      options.appearance == UIUserInterfaceStyle::dark ? Color::black() : Color::white());

  ShareSheetProviders providers = ShareSheetProviders::defaults();
  auto observer = std::make_shared<PipelineObserver>(
      providers.videoContentProviders.videoManagerProviders, say);
  providers.videoContentProviders.videoManagerProviders = {observer, observer, observer};
  auto result = std::make_shared<std::optional<PresentationResult>>();
  auto sheet = ShareSheetViewController::make(
      std::make_shared<LocalVideoProvider>(options.video, options.title, std::move(preview)),
      [result](const PresentationResult& outcome) {
        *result = outcome;
        say("presentation result: " + outcome.description());
      },
      std::move(providers));
  root->present(sheet, false);
  settle(*window);
  say("sheet presented with " + std::to_string(sheet->shareOutlets().size()) + " outlets");

  bool ok = !options.tap || tapOutlet(*window, *sheet, *options.tap, *result);
  if (ok && options.screenshot) ok = writeScreenshot(*window, *options.screenshot);
  if (ok && options.window) ok = showOnDesktop(window);
  return cleanUp(*sheet, *observer, result->has_value()) && ok ? 0 : 1;
}

}  // namespace

int sheetCommand(const Arguments& arguments) {
  std::optional<SheetOptions> options = parse(arguments);
  if (!options) return usageError("sheet");
  if (!std::filesystem::is_regular_file(options->video)) {
    return fail(options->video + " is not a video file");
  }
  Result<Image> preview = firstFrame(options->video);
  if (!preview) {
    return fail(options->video +
                " is not a video the sheet can show: " + errorText(preview.error()));
  }
  return present(*options, std::move(*preview));
}

}  // namespace velmoradine::cli
