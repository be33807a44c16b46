#pragma once

// What the share manager uploads for a video: a JPEG preview and the video's
// own bytes, produced together.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

using ThumbnailAndVideo = std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>;

class RenderProtocol {
 public:
  virtual ~RenderProtocol() = default;
  // The completion receives (thumbnail bytes, video bytes) or an error,
  // exactly once, on the main thread.
  virtual void renderThumbnailAndVideo(
      const std::filesystem::path& videoURL,
      std::function<void(Result<ThumbnailAndVideo>)> completion) = 0;
};

class Render : public RenderProtocol {
 public:
  enum class Error { unknown = 1, thumbnail, video };

  static std::shared_ptr<Render> make() { return std::make_shared<Render>(); }

  // Makes the preview on a background queue while reading the video on the
  // calling thread. A missing video fails with `video` even when the preview
  // worked; a video that is not a picture source fails with `thumbnail`.
  void renderThumbnailAndVideo(const std::filesystem::path& videoURL,
                               std::function<void(Result<ThumbnailAndVideo>)> completion) override;
};

std::error_code make_error_code(Render::Error error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::Render::Error> : std::true_type {};
