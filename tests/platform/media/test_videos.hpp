#pragma once

// Small videos made with the media layer for tests. Every frame carries its
// index as eight black-or-white blocks along the top, a background colour and
// a red marker in its top-left corner, so a test can tell which frame it got
// and which way up it is.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"

namespace velmoradine::testing {

struct TestVideo {
  int width = 64;
  int height = 48;
  int frames = 30;
  int framesPerSecond = 30;
  int rotation = 0;
  std::uint32_t color = 0xff2060c0;
  bool faststart = true;
  // When given, frame i's background is colors[i % colors.size()] instead.
  std::vector<std::uint32_t> colors = {};
};

Result<void> writeTestVideo(const std::filesystem::path& path, const TestVideo& video = {});
Bitmap testFrame(const TestVideo& video, int index);
// The index drawn into a decoded frame (upright, as drawn).
int frameIndex(const Bitmap& picture);
// Whether two colours are within `tolerance` per channel.
bool near(std::uint32_t a, std::uint32_t b, int tolerance = 24);
// Writes a short audio-only WAV file.
void writeWave(const std::filesystem::path& path);

}  // namespace velmoradine::testing
