#pragma once

// The activity sheet: a sheet of the UI toolkit listing the desktop
// applications that open the shared items (`SystemServices::
// applicationCatalog`), with their names and icons. Picking one launches it
// with the items and reports completed; dismissing the sheet reports not
// completed.
//
// Threading: main thread.

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

// Text, or a file or link.
using ActivityItem = std::variant<std::string, URL>;

class UIActivityViewController : public UIViewController {
 public:
  // `activityType` names the application picked (its .desktop file's name).
  using CompletionWithItemsHandler =
      std::function<void(std::optional<std::string> activityType, bool completed)>;

  explicit UIActivityViewController(std::vector<ActivityItem> activityItems);

  void setCompletionWithItemsHandler(CompletionWithItemsHandler handler);
  const std::vector<ActivityItem>& activityItems() const;
};

}  // namespace velmoradine
