#include "velmoradine/model/ugc_error.hpp"

namespace velmoradine {
namespace {

class UGCErrorCategory final : public ErrorCategory {
 public:
  const char* name() const noexcept override { return "Velmoradine.UGCError"; }
  std::string message(int value) const override {
    switch (static_cast<UGCError>(value)) {
      case UGCError::videoError:
        return "Video error: ";
      case UGCError::imageError:
        return "Image error: ";
      case UGCError::unknown:
        return "Unknown configuraiton error";
      case UGCError::noDuration:
        return "No duration set";
      case UGCError::exportFailedOrCancelled:
        return "Export failed or cancelled";
      case UGCError::exportFailedFatally:
        return "Export failed fatally";
    }
    return "Unknown configuraiton error";
  }
  // The payload cases look their whole text up, message included.
  std::string descriptionKey(int value, const std::string& detail) const override {
    auto error = static_cast<UGCError>(value);
    if (error == UGCError::videoError || error == UGCError::imageError)
      return message(value) + detail;
    return message(value);
  }
};

}  // namespace

const std::error_category& ugcErrorCategory() {
  static const auto& category = *new UGCErrorCategory;
  return category;
}

std::error_code make_error_code(UGCError error) {
  return {static_cast<int>(error), ugcErrorCategory()};
}

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
