#include "velmoradine/platform/services/desktop_application_catalog.hpp"
#include "velmoradine/platform/services/desktop_audio_session.hpp"
#include "velmoradine/platform/services/desktop_messaging.hpp"
#include "velmoradine/platform/services/desktop_pasteboard.hpp"
#include "velmoradine/platform/services/desktop_photo_library.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/services/xdg_url_opener.hpp"

namespace velmoradine {

std::shared_ptr<const SystemServices> SystemServices::desktop() {
  auto services = std::make_shared<SystemServices>();
  services->urlOpener = std::make_shared<XDGURLOpener>();
  services->generalPasteboard = std::make_shared<DesktopPasteboard>();
  services->photoLibrary = std::make_shared<DesktopPhotoLibrary>();
  services->audioSession = std::make_shared<DesktopAudioSession>();
  services->messaging = std::make_shared<DesktopMessaging>();
  services->applicationCatalog = std::make_shared<DesktopApplicationCatalog>();
  return services;
}

}  // namespace velmoradine
