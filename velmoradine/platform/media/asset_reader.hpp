#pragma once

// Reads every frame of a file's video track in presentation order, as
// pictures (stored orientation). For checks and tools that look at all frames.

#include <filesystem>
#include <memory>
#include <optional>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/media_time.hpp"

namespace velmoradine {

namespace media {
class VideoReader;
}

class AssetReader {
 public:
  struct Sample {
    MediaTime time;
    Bitmap picture;
  };

  static Result<std::unique_ptr<AssetReader>> open(const std::filesystem::path& url);
  ~AssetReader();

  // The next frame; nothing after the last one.
  Result<std::optional<Sample>> next();

 private:
  AssetReader();
  std::unique_ptr<media::VideoReader> reader_;
};

}  // namespace velmoradine
