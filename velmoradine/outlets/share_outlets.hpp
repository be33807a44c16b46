#pragma once

// The process-wide registry of outlet types, in the order the share sheet
// shows them, and the cached probes for companion apps.
//
// Threading: the registry is read and extended on the main thread. The
// install flags may be read from any thread; each probes once per process.

#include <functional>
#include <memory>
#include <vector>

#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

using ShareOutletTypeList = std::vector<std::shared_ptr<const ShareOutletType>>;

class ShareOutlets {
 public:
  // Starts with the kit's seven outlets.
  static ShareOutletTypeList& availableOutlets();
  static void setAvailableOutlets(ShareOutletTypeList outlets);
  // The registered types that can perform `contentType`, in registry order.
  static ShareOutletTypeList outlets(ContentType forPeformableType);
  static void forwardLifecycleDelegate(
      const std::function<void(VelmoradineLifecycleDelegate&)>& callable);
  // Appends; registering a type twice lists it twice.
  static void registerOutlet(std::shared_ptr<const ShareOutletType> outlet);
};

class ShareOutletUtils {
 public:
  static ShareOutletUtils& shared();

  static bool isFacebookAppInstalled();
  static bool isMessengerAppInstalled();
  static bool isInstagramAppInstalled();
  static bool isTwitterAppInstalled();
  // Whether an installed app opens URLs of `scheme`.
  static bool canOpenURLScheme(const std::string& scheme);
};

}  // namespace velmoradine
