#pragma once

// The photo library on a Linux desktop: saved videos are files in a folder
// of the user's videos directory (XDG_VIDEOS_DIR of user-dirs.dirs, else
// ~/Videos), named after their local identifier ("<UUID>/L0/001" is kept as
// "<UUID>.<extension>"), so an identifier finds its asset in any later
// process. The user's answer to whether the host may add to it is kept per
// host application (main bundle identifier) in
// $XDG_CONFIG_HOME/<bundle id>/photo-library-authorization; that folder is
// the settings page. The question is asked with PhotoAuthorizationPrompt.
//
// Threading: callable from any thread. Completions run on the library's own
// serial queue, never on the caller's stack; the prompt runs on the main
// queue, so an undecided `requestAuthorization` answers only while the
// main run loop is driven.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "velmoradine/platform/services/photo_library.hpp"

namespace velmoradine {

class DispatchQueue;
class PhotoAuthorizationStore;

class DesktopPhotoLibrary final : public PhotoLibrary {
 public:
  static constexpr const char* kFolderName = "Velmoradine";

  struct Locations {
    // The folder holding the saved videos.
    std::filesystem::path libraryPath;
    // The folder holding the host's answer.
    std::filesystem::path settingsPath;

    // Read from the XDG environment of the process.
    static Locations desktop();
  };

  explicit DesktopPhotoLibrary(Locations locations = Locations::desktop());
  ~DesktopPhotoLibrary() override;

  PHAuthorizationStatus authorizationStatus() override;
  // Requests made while the prompt is up share its answer. Without a window
  // to ask in, answers notDetermined and keeps nothing.
  void requestAuthorization(std::function<void(PHAuthorizationStatus)> completion) override;
  // Fails with EINVAL for a URL that is not a local file, else as
  // copyFileAtomically does; nothing is left in the library then.
  void createVideoAsset(const URL& fileURL,
                        std::function<void(Result<std::string>)> completion) override;
  std::optional<PHAsset> fetchAsset(const std::string& localIdentifier) override;
  URL settingsURL() override;

 private:
  struct PendingRequests;

  Locations locations_;
  std::shared_ptr<PhotoAuthorizationStore> store_;
  std::shared_ptr<DispatchQueue> queue_;
  std::shared_ptr<PendingRequests> pending_;
};

}  // namespace velmoradine
