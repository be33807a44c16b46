#pragma once

// The activity sheet: a sheet of the UI toolkit listing the desktop
// applications that open the shared items (`SystemServices::
// applicationCatalog`), with their names and icons. Picking one launches it
// with the items and reports completed; dismissing the sheet reports not
// completed; so does a pick whose launch fails (with a console line).
// Exactly one report per sheet, after it has left the screen.
//
// Threading: main thread.

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/services/application_catalog.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

// Text, or a file or link.
using ActivityItem = std::variant<std::string, URL>;

class UIButton;
class UILabel;
class UIView;

class UIActivityViewController : public UIViewController,
                                 public UIAdaptivePresentationControllerDelegate {
 public:
  static constexpr const char* kTitle = "Share";
  static constexpr const char* kCancelTitle = "Cancel";
  static constexpr const char* kNoApplicationText = "No application can open this video.";
  // The kind of file the listed applications open.
  static constexpr const char* kMimeType = "video/mp4";

  // `activityType` names the application picked (its .desktop file's name).
  using CompletionWithItemsHandler =
      std::function<void(std::optional<std::string> activityType, bool completed)>;

  explicit UIActivityViewController(std::vector<ActivityItem> activityItems);

  void setCompletionWithItemsHandler(CompletionWithItemsHandler handler);
  const std::vector<ActivityItem>& activityItems() const;
  // The applications listed, in order, once the view has loaded.
  const std::vector<DesktopApplication>& applications() const;
  // The row a tap on which picks `applications()[index]`, for a driver that
  // taps as a user would; null past the end.
  std::shared_ptr<UIView> rowForApplication(std::size_t index) const;

  void loadView() override;
  void viewDidLoad() override;
  void viewDidLayoutSubviews() override;
  void presentationControllerDidDismiss(UIPresentationController& controller) override;

 private:
  std::shared_ptr<UIView> row(std::size_t index);
  void picked(std::size_t index);
  void cancelTapped();
  // Dismisses the sheet, then reports; at most once.
  void finish(std::optional<std::string> activityType, bool completed);
  std::vector<URL> itemURLs() const;

  std::vector<ActivityItem> activityItems_;
  CompletionWithItemsHandler handler_;
  std::vector<DesktopApplication> applications_;
  bool finished_ = false;
  std::shared_ptr<UILabel> titleLabel_;
  std::shared_ptr<UIButton> cancelButton_;
  std::shared_ptr<UILabel> emptyLabel_;
  std::vector<std::shared_ptr<UIView>> rows_;
};

}  // namespace velmoradine
