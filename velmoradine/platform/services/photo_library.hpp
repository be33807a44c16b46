#pragma once

// The user's photo library: a folder of saved videos whose assets have stable
// local identifiers, and the user's answer to whether the host may add to it.
//
// Threading: callable from any thread; completions run on a thread of the
// library's choosing, never the caller's stack.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

enum class PHAuthorizationStatus { notDetermined, restricted, denied, authorized, limited };

struct PHAsset {
  std::string localIdentifier;
  std::filesystem::path path;
};

class PhotoLibrary {
 public:
  virtual ~PhotoLibrary() = default;
  virtual PHAuthorizationStatus authorizationStatus() = 0;
  // Asks the user (once: a decided status is answered at once) and remembers
  // the answer for this host application.
  virtual void requestAuthorization(std::function<void(PHAuthorizationStatus)> completion) = 0;
  // Adds the video at `fileURL` as a new asset in one change, all or nothing;
  // the completion gets the created asset's local identifier.
  virtual void createVideoAsset(const URL& fileURL,
                                std::function<void(Result<std::string>)> completion) = 0;
  virtual std::optional<PHAsset> fetchAsset(const std::string& localIdentifier) = 0;
  // The page where the user changes the host's permission.
  virtual URL settingsURL() = 0;
};

}  // namespace velmoradine
