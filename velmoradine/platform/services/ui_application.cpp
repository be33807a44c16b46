#include "velmoradine/platform/services/ui_application.hpp"

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
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
  // Whatever thread a substituted opener answers on, the caller hears on the
  // main queue, and never on its own stack.
  auto onMain = [completion = std::move(completion)](bool opened) {
    if (!completion) return;
    DispatchQueue::main()->async([completion, opened] { completion(opened); });
  };
  const auto services = SystemServices::current();
  if (!services->urlOpener) {
    onMain(false);
    return;
  }
  services->urlOpener->open(url, std::move(onMain));
}

URL UIApplication::openSettingsURL() const {
  return SystemServices::current()->photoLibrary->settingsURL();
}

}  // namespace velmoradine
