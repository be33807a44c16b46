#include "velmoradine/platform/media/media_error.hpp"

extern "C" {
#include <libavutil/error.h>
}

namespace velmoradine {
namespace {

class MediaErrorCategory final : public ErrorCategory {
 public:
  const char* name() const noexcept override { return "Velmoradine.Media"; }
  std::string message(int value) const override {
    switch (static_cast<MediaError>(value)) {
      case MediaError::fileNotFound:
        return "The media file does not exist.";
      case MediaError::notMedia:
        return "The file is not a readable media file.";
      case MediaError::noVideoTrack:
        return "The media has no video track.";
      case MediaError::decodeFailed:
        return "The video could not be decoded.";
      case MediaError::encodeFailed:
        return "The video could not be encoded.";
      case MediaError::writeFailed:
        return "The output file could not be written.";
      case MediaError::outputExists:
        return "The output file already exists.";
      case MediaError::noOutputURL:
        return "No output file was given.";
      case MediaError::unsupportedFileType:
        return "The output file type is not supported.";
      case MediaError::invalidTimeRange:
        return "The time range is not within the source.";
      case MediaError::invalidComposition:
        return "The composition cannot be exported.";
      case MediaError::cancelled:
        return "The operation was cancelled.";
      case MediaError::incompleteFile:
        return "The video file is incomplete.";
    }
    return "An unknown media error occurred.";
  }
};

}  // namespace

const ErrorCategory& mediaErrorCategory() {
  static const auto& category = *new MediaErrorCategory;
  return category;
}

std::error_code make_error_code(MediaError error) {
  return {static_cast<int>(error), mediaErrorCategory()};
}

std::string ffmpegErrorText(int status) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(status, text, sizeof text);
  return text;
}

}  // namespace velmoradine
