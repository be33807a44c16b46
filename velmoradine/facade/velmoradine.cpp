#include "velmoradine/facade/velmoradine.hpp"

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine {

Velmoradine& Velmoradine::shared() {
  static auto* instance = new Velmoradine();
  return *instance;
}

Velmoradine::Velmoradine(std::shared_ptr<LifecycleProtocol> lifecycle,
                         std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore,
                         std::shared_ptr<ContribDatastoreProtocol> contribDatastore)
    : lifecycle_(lifecycle ? std::move(lifecycle) : std::make_shared<Lifecycle>()),
      authenticationDatastore_(std::move(authenticationDatastore)),
      contribDatastore_(std::move(contribDatastore)) {
  // The lifecycle's observers, handlers and analytics timer belong to the
  // main thread; a host whose first use is elsewhere gets its start there.
  if (RunLoop::isMainThread()) {
    lifecycle_->start();
  } else {
    DispatchQueue::main()->async([lifecycle = lifecycle_] { lifecycle->start(); });
  }
}

void Velmoradine::configureApiKey(std::string apiKey) {
  authenticationDatastore_->setApiKey(std::move(apiKey));
}

void Velmoradine::configureUserId(std::optional<std::string> userId) {
  contribDatastore_->setUserId(std::move(userId));
}

void Velmoradine::registerOutlet(std::shared_ptr<const ShareOutletType> outlet) {
  ShareOutlets::registerOutlet(std::move(outlet));
}

bool Velmoradine::application(UIApplication& application,
                              const std::optional<PropertyList::Dictionary>& launchOptions) {
  ShareOutlets::forwardLifecycleDelegate([&](VelmoradineLifecycleDelegate& delegate) {
    delegate.application(application, launchOptions);
  });
  return true;
}

bool Velmoradine::application(UIApplication& application, const URL& url,
                              const PropertyList::Dictionary& options) {
  // A copy: a delegate may register outlets while it is told.
  const ShareOutletTypeList outlets = ShareOutlets::availableOutlets();
  for (const auto& outlet : outlets) {
    if (auto delegate = outlet->outletLifecycleDelegate()) {
      delegate->application(application, url, options);
    }
  }
  return true;
}

void Velmoradine::applicationWillEnterForeground() {
  NotificationCenter::defaultCenter().post(UIApplicationWillEnterForegroundNotification);
}

void Velmoradine::applicationDidEnterBackground() {
  NotificationCenter::defaultCenter().post(UIApplicationDidEnterBackgroundNotification);
}

}  // namespace velmoradine
