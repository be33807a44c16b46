#pragma once

// What the share manager uploads for a video: a JPEG preview and the video's
// own bytes, produced together.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

struct ThumbnailAndVideo {
  Data thumbnail;  // JPEG
  Data video;      // the bytes to upload, often a file view
  // The video's MD5 in Base64, which the upload plan needs, when the
  // renderer computed it while the preview was being made; the share
  // manager computes it otherwise.
  std::optional<std::string> videoMD5;
};

class RenderProtocol {
 public:
  virtual ~RenderProtocol() = default;
  // The completion receives the thumbnail and video bytes or an error,
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

const ErrorCategory& renderErrorCategory();
std::error_code make_error_code(Render::Error error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::Render::Error> : std::true_type {};
