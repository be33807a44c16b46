#include "sheet_driver.hpp"

#include <algorithm>
#include <fstream>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/uikit/player_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine::cli {
namespace {

// Whether every presented controller is at rest: the window takes no
// touches while one slides in or out.
bool settled(const UIWindow& window) {
  auto root = window.rootViewController();
  for (auto presented = root ? root->presentedViewController() : nullptr; presented;
       presented = presented->presentedViewController()) {
    if (presented->presentationController()->isTransitioning()) return false;
  }
  return true;
}

// Whether a video frame shows somewhere in `view`'s tree: the preview
// plays once its player has presented one.
bool showsVideoFrame(const UIView& view) {
  if (auto player = dynamic_cast<const PlayerView*>(&view)) {
    if (player->layer()->contents()) return true;
  }
  return std::ranges::any_of(view.subviews(),
                             [](const auto& subview) { return showsVideoFrame(*subview); });
}

Point centerInWindow(const UIView& view) {
  const Rect& bounds = view.bounds();
  return view.convertToWindow(
      {bounds.origin.x + bounds.size.width / 2, bounds.origin.y + bounds.size.height / 2});
}

std::size_t chosenAction(const UIAlertController& alert, bool answerYes) {
  const auto& actions = alert.actions();
  for (std::size_t index = 0; index < actions.size(); ++index) {
    const bool cancels = actions[index].style == UIAlertActionStyle::cancel;
    if (cancels != answerYes) return index;
  }
  return answerYes ? 0 : actions.size() - 1;
}

std::string outletNames(const ShareSheetViewController& sheet) {
  std::string names;
  for (const auto& outlet : sheet.shareOutlets()) {
    names += (names.empty() ? "" : ", ") + outlet->canonicalOutletName();
  }
  return names.empty() ? "none" : names;
}

}  // namespace

SheetDriver::SheetDriver(std::shared_ptr<UIWindow> window, Options options, Say say)
    : window_(std::move(window)), options_(std::move(options)), say_(std::move(say)) {}

std::shared_ptr<ShareSheetViewController> SheetDriver::sheet() const {
  auto root = window_->rootViewController();
  for (auto presented = root ? root->presentedViewController() : nullptr; presented;
       presented = presented->presentedViewController()) {
    if (auto sheet = std::dynamic_pointer_cast<ShareSheetViewController>(presented)) return sheet;
  }
  return nullptr;
}

void SheetDriver::step() {
  // Layout is what makes the sheet ask for its preview. Drawing is left to
  // the screens that are saved: nobody looks at this screen.
  window_->layoutIfNeeded();
  if (!settled(*window_) || answerAlert()) return;
  auto sheet = this->sheet();
  if (!sheet) {
    tapToast();
    return;
  }
  if (!sheet->presentedPresntable() || swiped_) return;
  saveOnce("1-sheet-loaded");
  if (!outletTapped_ && options_.outlet) tapOutlet(*sheet);
  if (swiped_) return;
  if (sheet->spinningCellIndex()) saveOnce("2-spinner");
  if (showsVideoFrame(*sheet->contentView())) saveOnce("3-preview-playing");
  watchOutlet(*sheet);
}

bool SheetDriver::tapToast() {
  for (const auto& view : window_->rootViewController()->view()->subviews()) {
    auto toast = std::dynamic_pointer_cast<UIButton>(view);
    if (!toast || !toast->isEnabled()) continue;
    saveOnce("0-toast");
    say_("tapping the toast");
    window_->tap(centerInWindow(*toast));
    return true;
  }
  return false;
}

void SheetDriver::tapOutlet(ShareSheetViewController& sheet) {
  const auto& outlets = sheet.shareOutlets();
  int index = 0;
  while (index < int(outlets.size()) && outlets[index]->canonicalOutletName() != *options_.outlet) {
    ++index;
  }
  if (index == int(outlets.size())) {
    problem_ = "the sheet offers no outlet \"" + *options_.outlet +
               "\" (it offers: " + outletNames(sheet) + ")";
    swipeAway(sheet, *problem_);
    return;
  }
  const auto& row = sheet.shareOutletView();
  const IndexPath indexPath{index, 0};
  // The row scrolls: bring the cell fully into sight first, as a user would.
  row->scrollToItem(indexPath, UICollectionViewScrollPosition::none, false);
  const std::optional<Rect> item = row->frameForItem(indexPath);
  if (!item) return;
  const Point center{item->minX() + item->width() / 2, item->minY() + item->height() / 2};
  say_("tapping the " + *options_.outlet + " outlet");
  window_->tap(row->convertToWindow(center));
  outletTapped_ = true;
}

bool SheetDriver::answerAlert() {
  auto alert = std::dynamic_pointer_cast<UIAlertController>(window_->topViewController());
  if (!alert) return false;
  if (answeredAlert_.lock() == alert) return true;
  saveOnce("4-alert");
  const std::size_t index = chosenAction(*alert, options_.answerYes);
  auto button = alert->buttonForAction(index);
  if (!button) return true;
  say_("alert \"" + alert->title().value_or("") + "\": " + alert->message().value_or("") +
       "; answering \"" + alert->actions()[index].title + "\"");
  answeredAlert_ = alert;
  window_->tap(centerInWindow(*button));
  // The sheet stays open after a failure's alert.
  watchForIdle_ = true;
  return true;
}

void SheetDriver::watchOutlet(ShareSheetViewController& sheet) {
  const bool running = sheet.currentlySharingOulet() != nullptr;
  if (outletRunning_ && !running) {
    // A success dismisses the sheet and a failure shows an alert, both from
    // tasks already queued on the main queue when the outlet was let go, so
    // a task queued now runs after them.
    DispatchQueue::main()->async([weak = weak_from_this()] {
      if (auto self = weak.lock()) self->watchForIdle_ = true;
    });
  }
  outletRunning_ = running;
  if (watchForIdle_) giveUpIfIdle(sheet);
}

void SheetDriver::giveUpIfIdle(ShareSheetViewController& sheet) {
  if (sheet.presentedViewController() || sheet.spinningCellIndex() ||
      sheet.currentlySharingOulet()) {
    return;
  }
  swipeAway(sheet, "nothing was shared");
}

void SheetDriver::swipeAway(ShareSheetViewController& sheet, const std::string& why) {
  say_(why + "; closing the sheet");
  swiped_ = true;
  const Rect frame = sheet.view()->frame();
  window_->swipeDown({frame.origin.x + frame.size.width / 2, frame.origin.y + 20},
                     frame.size.height / 2);
}

void SheetDriver::saveOnce(const std::string& name) {
  if (saved_.insert(name).second) saveScreen(name);
}

void SheetDriver::saveScreen(const std::string& name) {
  if (!options_.screens) return;
  const auto path = *options_.screens / (name + ".png");
  Result<Data> png = window_->snapshot().pngData();
  std::ofstream file(path, std::ios::binary);
  if (png && file.write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()))) {
    say_("screen " + path.string());
  } else {
    say_("could not save the screen " + path.string());
  }
}

}  // namespace velmoradine::cli
