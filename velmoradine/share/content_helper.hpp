#pragma once

#include <optional>
#include <string_view>

#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

// Where rendered output goes: the "Velmoradine" folder of the caches
// directory.
struct ContentHelper {
  // The file URL for `filename` with extension `filenameExt` in that folder.
  // A file already there is removed and the folder is created, so the caller
  // writes to a free path. Failures are logged and give nothing.
  static std::optional<URL> createFileURL(std::string_view filename, std::string_view filenameExt);
};

}  // namespace velmoradine
