#pragma once

// The errors of the media layer (domain "Velmoradine.Media"). Failures of
// FFmpeg keep FFmpeg's own text in the error's detail.

#include <system_error>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

enum class MediaError {
  fileNotFound = 1,
  notMedia,
  noVideoTrack,
  decodeFailed,
  encodeFailed,
  writeFailed,
  outputExists,
  noOutputURL,
  unsupportedFileType,
  invalidTimeRange,
  invalidComposition,
  cancelled,
  incompleteFile,
};

const ErrorCategory& mediaErrorCategory();
std::error_code make_error_code(MediaError error);

// An FFmpeg status code as text, for an error's detail.
std::string ffmpegErrorText(int status);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::MediaError> : std::true_type {};
