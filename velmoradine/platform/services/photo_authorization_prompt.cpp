#include "velmoradine/platform/services/photo_authorization_prompt.hpp"

#include <memory>
#include <string>

#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {
namespace {

std::string applicationName(const Bundle& bundle) {
  const auto& info = bundle.infoDictionary();
  for (const char* key : {"CFBundleDisplayName", "CFBundleName"}) {
    if (auto name = info.stringFor(key); name && !name->empty()) return *name;
  }
  return bundle.bundleIdentifier().value_or("This application");
}

std::optional<std::string> usageText(const Bundle& bundle) {
  const auto& info = bundle.infoDictionary();
  if (auto text = info.stringFor("NSPhotoLibraryAddUsageDescription")) return text;
  return info.stringFor("NSPhotoLibraryUsageDescription");
}

}  // namespace

void PhotoAuthorizationPrompt::present(
    std::function<void(std::optional<PHAuthorizationStatus>)> answer) {
  UIWindow* window = UIWindow::keyWindow();
  auto top = window ? window->topViewController() : nullptr;
  if (!top) {
    console::writeLine("[PhotoLibrary] No key window to ask for access to the photo library in");
    answer(std::nullopt);
    return;
  }
  const Bundle bundle = Bundle::main();
  auto alert = std::make_shared<UIAlertController>(
      "“" + applicationName(bundle) + "” Would Like to Add to your Photos", usageText(bundle),
      UIAlertControllerStyle::alert);
  auto shared = std::make_shared<decltype(answer)>(std::move(answer));
  alert->addAction({std::string(kDenyTitle), UIAlertActionStyle::default_,
                    [shared](const UIAlertAction&) { (*shared)(PHAuthorizationStatus::denied); }});
  alert->addAction(
      {std::string(kAllowTitle), UIAlertActionStyle::default_,
       [shared](const UIAlertAction&) { (*shared)(PHAuthorizationStatus::authorized); }});
  top->present(alert, true);
  // A refused presentation (logged by the toolkit) must not leave the
  // question hanging.
  if (!alert->presentingViewController()) (*shared)(std::nullopt);
}

}  // namespace velmoradine
