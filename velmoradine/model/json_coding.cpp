#include "velmoradine/model/json_coding.hpp"

namespace velmoradine {
namespace {

class DecodingErrorCategory final : public ErrorCategory {
 public:
  const char* name() const noexcept override { return "DecodingError"; }
  std::string message(int value) const override {
    switch (static_cast<DecodingError>(value)) {
      case DecodingError::keyNotFound:
      case DecodingError::valueNotFound:
        return "The data couldn\u2019t be read because it is missing.";
      case DecodingError::dataCorrupted:
      case DecodingError::typeMismatch:
        break;
    }
    return "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
  }
};

}  // namespace

const ErrorCategory& decodingErrorCategory() {
  static const auto& category = *new DecodingErrorCategory;
  return category;
}

std::error_code make_error_code(DecodingError error) {
  return {static_cast<int>(error), decodingErrorCategory()};
}

namespace json {

Result<nlohmann::json> parseJSON(std::string_view body) {
  try {
    return nlohmann::json::parse(body);
  } catch (const std::exception& exception) {
    return failure(decodingError(exception));
  }
}

Error decodingError(const std::exception& exception) {
  if (const auto* failure = dynamic_cast<const DecodingFailure*>(&exception)) {
    return Error(failure->kind(), failure->what());
  }
  if (dynamic_cast<const nlohmann::json::type_error*>(&exception)) {
    return Error(DecodingError::typeMismatch, exception.what());
  }
  if (dynamic_cast<const nlohmann::json::out_of_range*>(&exception)) {
    return Error(DecodingError::keyNotFound, exception.what());
  }
  return Error(DecodingError::dataCorrupted, exception.what());
}

}  // namespace json
}  // namespace velmoradine
