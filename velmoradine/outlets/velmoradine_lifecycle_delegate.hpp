#pragma once

// Application lifecycle calls that outlets may want to hear (an outlet whose
// companion app calls back into the host through a URL, for example). The
// facade forwards the host's calls to every registered outlet type's
// delegate.
//
// Threading: called on the main thread.

#include <optional>

#include "velmoradine/platform/foundation/property_list.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

class UIApplication;

class VelmoradineLifecycleDelegate {
 public:
  virtual ~VelmoradineLifecycleDelegate() = default;
  virtual bool application(UIApplication& application,
                           const std::optional<PropertyList::Dictionary>& launchOptions) = 0;
  virtual bool application(UIApplication& application, const URL& url,
                           const PropertyList::Dictionary& options) = 0;
};

}  // namespace velmoradine
