#pragma once

// The kit as a host sees it: one object, `Velmoradine::shared()`, that takes
// the API key and the end user's identifier, registers outlets of the host's
// own, and hears the application's lifecycle. Creating it starts the kit.
//
// A Linux host has no application delegate to forward: it calls the two
// application callbacks and the two transition calls itself, on its main
// thread (docs/host.md).
//
// Threading: `shared()` may be first called from any thread and creates one
// object; the lifecycle then starts on the main thread (at once when that is
// the caller, else when the main run loop next runs). Every other member is
// called on the main thread.

#include <memory>
#include <optional>
#include <string>

#include "velmoradine/facade/lifecycle.hpp"
#include "velmoradine/outlets/share_outlets.hpp"
#include "velmoradine/outlets/velmoradine_lifecycle_delegate.hpp"
#include "velmoradine/state/datastores.hpp"

namespace velmoradine {

inline constexpr char VelmoradineVersion[] = "v0.0.3";

class Velmoradine final : public VelmoradineLifecycleDelegate {
 public:
  // Made on first use, with every default, and never destroyed.
  static Velmoradine& shared();

  // Starts `lifecycle`. The default lifecycle is built with its own defaults.
  explicit Velmoradine(
      std::shared_ptr<LifecycleProtocol> lifecycle = nullptr,
      std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore =
          Datastore::shared().authenticationDatastore,
      std::shared_ptr<ContribDatastoreProtocol> contribDatastore = ContribDatastore::shared());
  Velmoradine(const Velmoradine&) = delete;
  Velmoradine& operator=(const Velmoradine&) = delete;

  std::string version() const { return VelmoradineVersion; }

  // Replaces the key read from the Info.plist, for every later request.
  void configureApiKey(std::string apiKey);
  // Nothing removes the identifier from later requests.
  void configureUserId(std::optional<std::string> userId);
  // Appends to the registry; a type registered twice is listed twice.
  void registerOutlet(std::shared_ptr<const ShareOutletType> outlet);

  // Forwarded to every registered outlet type's lifecycle delegate, in
  // registry order; always true, whatever the delegates answer.
  bool application(UIApplication& application,
                   const std::optional<PropertyList::Dictionary>& launchOptions) override;
  bool application(UIApplication& application, const URL& url,
                   const PropertyList::Dictionary& options) override;

  // The application is about to come back to the foreground / has gone to
  // the background: posts the matching notification to the default center.
  void applicationWillEnterForeground();
  void applicationDidEnterBackground();

  const std::shared_ptr<LifecycleProtocol>& lifecycle() const { return lifecycle_; }
  const std::shared_ptr<AuthenticationDatastoreProtocol>& authenticationDatastore() const {
    return authenticationDatastore_;
  }
  const std::shared_ptr<ContribDatastoreProtocol>& contribDatastore() const {
    return contribDatastore_;
  }

 private:
  const std::shared_ptr<LifecycleProtocol> lifecycle_;
  const std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore_;
  const std::shared_ptr<ContribDatastoreProtocol> contribDatastore_;
};

}  // namespace velmoradine
