#pragma once

// Saving a content's video as a new asset of the photo library, for the
// outlets that hand a saved video on (or only save it).
//
// Threading: callable from any thread. The completion runs on the library's
// thread, or on the caller's when the video is gone before the library is
// asked.

#include <functional>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/services/photo_library.hpp"

namespace velmoradine {

// Adds the local file `videoURL` to the photo library and hands over the
// asset as the library then finds it by its identifier; nothing when the
// file is missing, the library refuses the change, or the asset cannot be
// found afterwards. Each of those writes a line naming `outlet` and why.
void saveVideoToPhotoLibrary(const URL& videoURL, const std::string& outlet,
                             std::function<void(std::optional<PHAsset>)> completion);

}  // namespace velmoradine
