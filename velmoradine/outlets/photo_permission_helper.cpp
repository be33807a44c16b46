#include "velmoradine/outlets/photo_permission_helper.hpp"

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"

namespace velmoradine {
namespace {

bool grantsSaving(PHAuthorizationStatus status) {
  return status == PHAuthorizationStatus::authorized || status == PHAuthorizationStatus::limited;
}

// A controller that already presents something refuses to present again, and
// the dialog would never answer: present from the top of its stack instead.
std::shared_ptr<UIViewController> topOfPresentationStack(std::shared_ptr<UIViewController> base) {
  while (base && base->presentedViewController()) base = base->presentedViewController();
  return base;
}

}  // namespace

std::shared_ptr<PhotoPermissionHelper> PhotoPermissionHelper::make(
    std::weak_ptr<UIViewController> viewController, std::shared_ptr<Content> content,
    std::shared_ptr<ShareOutletProtocol> shareOutlet,
    std::weak_ptr<PhotoPermissionHelperDelegate> delegate) {
  return std::shared_ptr<PhotoPermissionHelper>(new PhotoPermissionHelper(
      std::move(viewController), std::move(content), std::move(shareOutlet), std::move(delegate)));
}

PhotoPermissionHelper::PhotoPermissionHelper(std::weak_ptr<UIViewController> viewController,
                                             std::shared_ptr<Content> content,
                                             std::shared_ptr<ShareOutletProtocol> shareOutlet,
                                             std::weak_ptr<PhotoPermissionHelperDelegate> delegate)
    : viewController_(std::move(viewController)),
      content_(std::move(content)),
      shareOutlet_(std::move(shareOutlet)),
      delegate_(std::move(delegate)) {}

void PhotoPermissionHelper::requestPermission() {
  switch (SystemServices::current()->photoLibrary->authorizationStatus()) {
    case PHAuthorizationStatus::authorized:
    case PHAuthorizationStatus::limited:
      return succeeded();
    case PHAuthorizationStatus::notDetermined:
      return askFirstTime();
    case PHAuthorizationStatus::denied:
    case PHAuthorizationStatus::restricted:
      return askAfterRefusal();
  }
}

void PhotoPermissionHelper::askFirstTime() {
  const std::string type(rawValue(content_->contentType()));
  present(dialog("Allow us to save this " + type + "?",
                 "To share to " + shareOutlet_->type().outletName() +
                     " we need to save content to your Photos first",
                 &PhotoPermissionHelper::requestAuthorization));
}

void PhotoPermissionHelper::askAfterRefusal() {
  const std::string type(rawValue(content_->contentType()));
  present(dialog("Looks like you've denied permissions to save this " + type + ".",
                 "To share to " + shareOutlet_->type().outletName() +
                     " we need to save content to your Photos first. Would you like to change "
                     "your settings? ",
                 &PhotoPermissionHelper::openSettings));
}

std::shared_ptr<UIAlertController> PhotoPermissionHelper::dialog(
    std::string title, std::string message, void (PhotoPermissionHelper::*yes)()) {
  auto alert = std::make_shared<UIAlertController>(std::move(title), std::move(message),
                                                   UIAlertControllerStyle::alert);
  // The alert holds its actions until it is dismissed, and the actions hold
  // this helper: that is what keeps it alive while the user decides.
  auto self = shared_from_this();
  alert->addAction({"No, Thanks", UIAlertActionStyle::default_,
                    [self](const UIAlertAction&) { self->cancelled(); }});
  alert->addAction({"Yes, Please!", UIAlertActionStyle::default_,
                    [self, yes](const UIAlertAction&) { ((*self).*yes)(); }});
  return alert;
}

void PhotoPermissionHelper::present(const std::shared_ptr<UIAlertController>& alert) {
  auto presenter = topOfPresentationStack(viewController_.lock());
  if (!presenter) {
    Logger::velmoradineDebug("[PhotoPermissionHelper] no view controller to ask from");
    return cancelled();
  }
  presenter->present(alert, true);
}

void PhotoPermissionHelper::requestAuthorization() {
  SystemServices::current()->photoLibrary->requestAuthorization(
      [self = shared_from_this()](PHAuthorizationStatus status) {
        grantsSaving(status) ? self->succeeded() : self->failed();
      });
}

void PhotoPermissionHelper::openSettings() {
  // The settings page is always a valid URL here, so the refusal is final:
  // whatever the user changes there applies to the next attempt.
  const URL settings = UIApplication::shared().openSettingsURL();
  cancelled();
  UIApplication::shared().open(settings);
}

void PhotoPermissionHelper::succeeded() {
  if (auto target = delegate()) target->succeeded();
}

void PhotoPermissionHelper::cancelled() {
  if (auto target = delegate()) target->cancelled();
}

void PhotoPermissionHelper::failed() {
  if (auto target = delegate()) target->failed();
}

}  // namespace velmoradine
