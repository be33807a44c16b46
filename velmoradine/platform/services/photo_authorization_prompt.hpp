#pragma once

// The system's question whether the host may add to the user's photos: an
// alert of the UI toolkit on the top controller of the key window, titled
// after the host application, with the host's usage text
// ("NSPhotoLibraryAddUsageDescription", else "NSPhotoLibraryUsageDescription")
// as its message and two buttons, kDenyTitle then kAllowTitle.
//
// Threading: main thread.

#include <functional>
#include <optional>
#include <string_view>

#include "velmoradine/platform/services/photo_library.hpp"

namespace velmoradine {

struct PhotoAuthorizationPrompt {
  static constexpr std::string_view kDenyTitle = "Don’t Allow";
  static constexpr std::string_view kAllowTitle = "OK";

  // `answer` hears authorized or denied once the user taps a button, or
  // nothing at once when there is no key window to ask in.
  static void present(std::function<void(std::optional<PHAuthorizationStatus>)> answer);
};

}  // namespace velmoradine
