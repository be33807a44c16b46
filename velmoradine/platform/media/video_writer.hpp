#pragma once

// Writes a video file: H.264 (libx264) in MPEG-4, constant frame rate,
// 4:2:0 tagged BT.601 limited range. Frames are given as BGRA pictures in
// order. The file appears at its URL only once `finish()` succeeded; an
// abandoned or failed writer leaves nothing behind.

#include <filesystem>
#include <memory>
#include <string>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/media_time.hpp"

namespace velmoradine {

struct VideoEncoderSettings {
  int width = 0;
  int height = 0;
  MediaTime frameDuration = MediaTime(1, 30);
  // libx264's constant rate factor and speed preset.
  int crf = 18;
  std::string preset = "veryfast";
  // Encoder threads; 0 lets the encoder use every core.
  int threads = 0;
  // Puts the index at the front of the file ("faststart").
  bool optimizeForNetworkUse = true;
  // Clockwise display rotation recorded in the file (0, 90, 180, 270).
  int rotation = 0;
  // Frames between keyframes; 0 leaves the encoder's default.
  int keyframeInterval = 0;
};

namespace media {
class Encoder;
}

class VideoWriter {
 public:
  static Result<std::unique_ptr<VideoWriter>> create(const std::filesystem::path& url,
                                                     const VideoEncoderSettings& settings);
  ~VideoWriter();

  // Appends the next frame; its size must be the writer's.
  Result<void> append(const Bitmap& frame);
  Result<void> finish();
  std::int64_t framesWritten() const;

 private:
  VideoWriter();
  std::unique_ptr<media::Encoder> encoder_;
  bool finished_ = false;
};

}  // namespace velmoradine
