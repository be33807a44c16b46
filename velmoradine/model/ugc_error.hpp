#pragma once

// The UGC engine's errors, the record of a rendered video, and the interface
// through which a UGC reports its final result.

#include <filesystem>
#include <string>
#include <system_error>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// `videoError` and `imageError` carry their message as the Error's detail:
// Error(UGCError::videoError, "Unable to load video").
enum class UGCError {
  videoError = 1,
  imageError,
  unknown,
  noDuration,
  exportFailedOrCancelled,
  exportFailedFatally,
};

const ErrorCategory& ugcErrorCategory();
std::error_code make_error_code(UGCError error);

// Whether a render that failed this way is worth another attempt.
bool retryable(UGCError error);
// False for every error that is not a UGCError.
bool retryable(const Error& error);

// A rendered video. Equal when the file URLs are.
struct SuccessfulRenderingResult {
  std::filesystem::path displayURL;  // the video file
  // "SuccessfulRenderingResult(displayURL: file:///…)", for log lines.
  std::string description() const;
  friend bool operator==(const SuccessfulRenderingResult&,
                         const SuccessfulRenderingResult&) = default;
};

class UGCResultDelegate {
 public:
  virtual ~UGCResultDelegate() = default;
  // The error side is a UGCError.
  virtual void didFinish(Result<SuccessfulRenderingResult> result) = 0;
};

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::UGCError> : std::true_type {};
