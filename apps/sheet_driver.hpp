#pragma once

// Plays a hurried user on a share sheet in a headless window, through the
// screen alone: taps the tap-to-share toast when there is one, taps the
// chosen outlet as soon as the sheet is up (so its cell spins while the
// video renders), answers every alert with the given answer, and swipes the
// sheet away once an outlet has ended without sharing (after its alert, if it
// showed one), as a user who gives up does. It saves the screen at each
// step when asked to.
//
// Threading: main thread. `step()` looks at the screen once and acts on what
// it shows; the command calls it from a repeating timer.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {
class ShareSheetViewController;
class UIViewController;
}  // namespace velmoradine

namespace velmoradine::cli {

class SheetDriver : public std::enable_shared_from_this<SheetDriver> {
 public:
  using Say = std::function<void(const std::string&)>;

  struct Options {
    // The canonical name of the outlet to tap ("copy"); none to tap nothing.
    std::optional<std::string> outlet;
    // How alerts are answered: the first action that is not a cancel, or
    // the cancel action (the last one when none is).
    bool answerYes = true;
    // Where the screens are saved as PNGs; none to save nothing.
    std::optional<std::filesystem::path> screens;
  };

  SheetDriver(std::shared_ptr<UIWindow> window, Options options, Say say);

  void step();
  // Saves the screen as `name`.png when screens are saved; says where.
  void saveScreen(const std::string& name);
  // Set when the driver could not do what it was asked (no such outlet).
  const std::optional<std::string>& problem() const { return problem_; }

 private:
  std::shared_ptr<ShareSheetViewController> sheet() const;
  bool tapToast();
  void tapOutlet(ShareSheetViewController& sheet);
  bool answerAlert();
  void watchOutlet(ShareSheetViewController& sheet);
  // Closes the sheet when nothing runs on it any more and nothing shows
  // over it: the outlet ended without sharing.
  void giveUpIfIdle(ShareSheetViewController& sheet);
  void swipeAway(ShareSheetViewController& sheet, const std::string& why);
  void saveOnce(const std::string& name);

  std::shared_ptr<UIWindow> window_;
  Options options_;
  Say say_;
  std::optional<std::string> problem_;
  bool outletTapped_ = false;
  bool outletRunning_ = false;
  bool swiped_ = false;
  // Set once an outlet ended or an alert was answered, and the sheet is not
  // known to be closing: from then on an idle sheet is given up. Set from a
  // main-queue task so that a success, which dismisses the sheet from a
  // task already queued then, is seen first.
  bool watchForIdle_ = false;
  std::weak_ptr<UIViewController> answeredAlert_;
  std::set<std::string> saved_;
};

}  // namespace velmoradine::cli
