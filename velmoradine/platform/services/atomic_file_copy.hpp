#pragma once

// Copying a file so that the copy appears whole or not at all: the bytes go
// to a hidden file beside the destination, reach the disk (fsync), and only
// then take the destination's name. A copy that fails on the way (missing
// source, read-only folder, full disk) removes its hidden file, so a reader
// of the folder never sees a partial one.
//
// Threading: callable from any thread; blocks for the whole copy.

#include <filesystem>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// Fails with the operating system's error (ENOENT for a missing source,
// EINVAL for one that is not a regular file, EACCES, ENOSPC, ...), its
// detail naming the file concerned. An existing `destination` is replaced.
Result<void> copyFileAtomically(const std::filesystem::path& source,
                                const std::filesystem::path& destination);

}  // namespace velmoradine
