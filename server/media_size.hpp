#pragma once

// The pixel size of stored files, read from their own headers: the display
// size of an MP4's video track and the size of a JPEG. Only the few boxes and
// markers that carry the size are read; anything malformed, cut short or
// implausible gives nothing rather than a wrong size. Safe from any thread.

#include <optional>

namespace velmoradine::devserver {

struct PixelSize {
  int width = 0;
  int height = 0;

  bool operator==(const PixelSize&) const = default;
};

// The size at which the first video track is shown: its track header's
// size (else its sample description's), turned by the track's rotation.
std::optional<PixelSize> mp4DisplaySize(int descriptor);

// The size in the JPEG's start-of-frame segment.
std::optional<PixelSize> jpegSize(int descriptor);

}  // namespace velmoradine::devserver
