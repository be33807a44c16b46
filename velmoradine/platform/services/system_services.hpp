#pragma once

// The desktop services the kit hands content to, in one place so a host or a
// test can substitute them. `current()` gives the Linux desktop's own
// services (XDG handlers, the clipboard, the videos folder, the mail
// handler) until `replace` installs others.
//
// Threading: `current()` is safe from any thread; `replace` is meant for
// start-up and tests, before the services are used.

#include <memory>

#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/services/application_catalog.hpp"
#include "velmoradine/platform/services/audio_session.hpp"
#include "velmoradine/platform/services/messaging.hpp"
#include "velmoradine/platform/services/pasteboard.hpp"
#include "velmoradine/platform/services/photo_library.hpp"
#include "velmoradine/platform/services/url_opening.hpp"

namespace velmoradine {

struct SystemServices {
  std::shared_ptr<URLOpening> urlOpener;
  std::shared_ptr<Pasteboard> generalPasteboard;
  std::shared_ptr<PhotoLibrary> photoLibrary;
  std::shared_ptr<AudioSession> audioSession;
  std::shared_ptr<Messaging> messaging;
  std::shared_ptr<ApplicationCatalog> applicationCatalog;

  static std::shared_ptr<const SystemServices> current();
  // Installs `services` (every member set); gives back the ones replaced.
  static std::shared_ptr<const SystemServices> replace(
      std::shared_ptr<const SystemServices> services);
  // The Linux desktop's services, read from the XDG environment of the process.
  static std::shared_ptr<const SystemServices> desktop();
};

// The operating-system feature level the kit's platform layer provides. The
// outlets and the sheet test it against the versions that brought what they
// use; on Linux the kit's own services provide all of it.
struct PlatformFeatures {
  static bool isAtLeast(int major, int minor = 0, int patch = 0);
};

}  // namespace velmoradine
