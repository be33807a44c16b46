#include "velmoradine/outlets/share_outlets.hpp"

#include <map>
#include <mutex>

#include "velmoradine/core/once.hpp"
#include "velmoradine/outlets/kit_outlets.hpp"
#include "velmoradine/platform/services/ui_application.hpp"

namespace velmoradine {
namespace {

// Asks the platform at most once per process, whatever thread reads first.
bool installedOnce(const std::string& scheme) {
  static auto* probes = new std::mutex();
  static auto* answers = new std::map<std::string, std::unique_ptr<Once<std::string, bool>>>();
  Once<std::string, bool>* probe;
  {
    std::lock_guard lock(*probes);
    auto& slot = (*answers)[scheme];
    if (!slot) {
      slot = std::make_unique<Once<std::string, bool>>(
          [](const std::string& probed) { return ShareOutletUtils::canOpenURLScheme(probed); });
    }
    probe = slot.get();
  }
  return probe->once(scheme, false);
}

}  // namespace

ShareOutletTypeList& ShareOutlets::availableOutlets() {
  static auto* outlets = new ShareOutletTypeList(kitShareOutletTypes());
  return *outlets;
}

void ShareOutlets::setAvailableOutlets(ShareOutletTypeList outlets) {
  availableOutlets() = std::move(outlets);
}

ShareOutletTypeList ShareOutlets::outlets(ContentType forPeformableType) {
  ShareOutletTypeList performing;
  for (const auto& outlet : availableOutlets()) {
    if (outlet->canPerform(forPeformableType)) performing.push_back(outlet);
  }
  return performing;
}

void ShareOutlets::forwardLifecycleDelegate(
    const std::function<void(VelmoradineLifecycleDelegate&)>& callable) {
  // A copy: a delegate may register an outlet while it is told.
  const ShareOutletTypeList outlets = availableOutlets();
  for (const auto& outlet : outlets) {
    if (auto delegate = outlet->outletLifecycleDelegate()) callable(*delegate);
  }
}

void ShareOutlets::registerOutlet(std::shared_ptr<const ShareOutletType> outlet) {
  availableOutlets().push_back(std::move(outlet));
}

ShareOutletUtils& ShareOutletUtils::shared() {
  static auto* utils = new ShareOutletUtils();
  return *utils;
}

bool ShareOutletUtils::isFacebookAppInstalled() {
  return installedOnce("fbauth2");
}
bool ShareOutletUtils::isMessengerAppInstalled() {
  return installedOnce("fb-messenger-share-api");
}
bool ShareOutletUtils::isInstagramAppInstalled() {
  return installedOnce("instagram");
}
bool ShareOutletUtils::isTwitterAppInstalled() {
  return installedOnce("twitter");
}

bool ShareOutletUtils::canOpenURLScheme(const std::string& scheme) {
  // The desktop answers by scheme alone. The URL names a host because the
  // kit's URL type, like libcurl beneath it, refuses a bare "scheme:/".
  const auto url = URL::parse(scheme + "://open");
  return url && url->scheme() == scheme && UIApplication::shared().canOpenURL(*url);
}

}  // namespace velmoradine
