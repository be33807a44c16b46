#include "velmoradine/model/ugc_error.hpp"

#include "velmoradine/platform/foundation/error_enumeration.hpp"

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    UGCError, ugcErrorCategory, "Velmoradine.UGC",
    {UGCError::videoError, "Video error: ", DetailInDescription::appended},
    {UGCError::imageError, "Image error: ", DetailInDescription::appended},
    {UGCError::unknown, "Unknown configuraiton error"}, {UGCError::noDuration, "No duration set"},
    {UGCError::exportFailedOrCancelled, "Export failed or cancelled"},
    {UGCError::exportFailedFatally, "Export failed fatally"})

bool retryable(UGCError error) {
  return error == UGCError::exportFailedOrCancelled || error == UGCError::exportFailedFatally;
}

bool retryable(const Error& error) {
  return error.code().category() == ugcErrorCategory() &&
         retryable(static_cast<UGCError>(error.value()));
}

std::string SuccessfulRenderingResult::description() const {
  std::string url =
      displayURL.is_absolute() ? "file://" + displayURL.string() : displayURL.string();
  return "SuccessfulRenderingResult(displayURL: " + url + ")";
}

}  // namespace velmoradine
