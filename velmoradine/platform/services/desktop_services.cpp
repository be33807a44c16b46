#include "velmoradine/platform/services/desktop_audio_session.hpp"
#include "velmoradine/platform/services/desktop_photo_library.hpp"
#include "velmoradine/platform/services/system_services.hpp"

namespace velmoradine {

std::shared_ptr<const SystemServices> SystemServices::desktop() {
  auto services = std::make_shared<SystemServices>();
  services->audioSession = std::make_shared<DesktopAudioSession>();
  services->photoLibrary = std::make_shared<DesktopPhotoLibrary>();
  return services;
}

}  // namespace velmoradine
