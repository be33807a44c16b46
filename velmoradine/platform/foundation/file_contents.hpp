#pragma once

// Whole files: read into memory (downloaded resources, cached replies) or
// viewed in place (videos to upload).

#include <filesystem>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// The bytes of a regular file, read into a buffer of the file's size (and
// beyond, if the file grows meanwhile). A missing file fails with ENOENT, a
// directory with EISDIR, any other file that is not regular (a pipe, a
// device, which could block or never end) with EINVAL.
Result<Data> readContents(const std::filesystem::path& path);
// The same, for files that are never large (settings, pictures, documents):
// one larger than `maximumSize` bytes, or growing past it while being read,
// fails with EFBIG instead of filling memory.
Result<Data> readContents(const std::filesystem::path& path, std::size_t maximumSize);

// A read-only view of a regular file's bytes (see `Data::viewing`): nothing
// is read until the bytes are used. Fails as `readContents` does.
Result<Data> viewContents(const std::filesystem::path& path);

// A buffer of `size` zero bytes. Buffers of megabytes are advised onto 2 MiB
// pages: fresh memory costs a page fault per page, and a 20 MB video in
// 4 KiB pages costs more in faults than reading it does.
Data makeZeroedData(std::size_t size);

}  // namespace velmoradine
