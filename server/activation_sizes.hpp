#pragma once

// The link page names the pixel sizes of a share's video and preview, so
// they are read once, when the files are activated, and kept with them.

#include <cstdint>
#include <string_view>

#include "server/database.hpp"
#include "server/storage.hpp"

namespace velmoradine::devserver {

// Reads and records the size of each activated file of the share; a file
// whose size cannot be read gets none, and the page leaves its size out.
// Called on an HTTP worker thread after a successful activation.
void recordActivatedSizes(Database& database, const Storage& storage, std::int64_t applicationId,
                          std::string_view accessToken);

}  // namespace velmoradine::devserver
