#include "velmoradine/platform/services/ui_application.hpp"

#include "velmoradine/platform/services/system_services.hpp"

namespace velmoradine {

UIApplication& UIApplication::shared() {
  static auto* application = new UIApplication();
  return *application;
}

bool UIApplication::canOpenURL(const URL& url) const {
  const auto services = SystemServices::current();
  return services->urlOpener && services->urlOpener->canOpenURL(url);
}

void UIApplication::open(const URL& url, std::function<void(bool)> completion) const {
  const auto services = SystemServices::current();
  if (!services->urlOpener) {
    if (completion) completion(false);
    return;
  }
  services->urlOpener->open(
      url, completion ? std::move(completion) : [](bool) {});
}

URL UIApplication::openSettingsURL() const {
  return SystemServices::current()->photoLibrary->settingsURL();
}

}  // namespace velmoradine
