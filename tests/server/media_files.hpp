#pragma once

// Files carrying only the headers the devserver reads sizes from: an MP4's
// movie box with its tracks and a JPEG's frame header. Not playable.

#include <string>

namespace velmoradine::testing {

struct Mp4Layout {
  int width = 0;
  int height = 0;
  // The track's matrix turns the picture a quarter, as phones record portrait.
  bool quarterTurn = false;
  int trackHeaderVersion = 0;
  // The track header's size is zero; only the sample entry has it.
  bool sizeOnlyInSampleEntry = false;
  // The media data comes first, as without "faststart".
  bool movieAfterData = false;
  // An audio track comes before the video track.
  bool audioTrackFirst = false;
};

std::string mp4File(const Mp4Layout& layout);

// A JPEG whose start-of-frame segment (`frameMarker`, 0xc0 baseline, 0xc2
// progressive) says `width` by `height`, after an application segment.
std::string jpegFile(int width, int height, unsigned char frameMarker = 0xc0);

}  // namespace velmoradine::testing
