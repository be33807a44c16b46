#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class JSONReader;

// The application settings as the backend last sent them.
struct ApplicationResponse {
  std::optional<std::string> cta_link;
  std::optional<std::string> slug;
  std::optional<std::string> brand_color;
  std::optional<std::string> background_color;

  // Every key may be missing or null; a value that is not text fails.
  static Result<ApplicationResponse> decode(const JSONReader& reader);

  friend bool operator==(const ApplicationResponse&, const ApplicationResponse&) = default;
};

// The reply of the debug endpoint: the code the uploaded context is stored
// under.
struct ContextResponse {
  std::string code;

  static Result<ContextResponse> decode(const JSONReader& reader);

  friend bool operator==(const ContextResponse&, const ContextResponse&) = default;
};

}  // namespace velmoradine
