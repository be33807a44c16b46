#pragma once

#include <optional>
#include <string>

namespace velmoradine {

// The application settings as the backend last sent them.
struct ApplicationResponse {
  std::optional<std::string> cta_link;
  std::optional<std::string> slug;
  std::optional<std::string> brand_color;
  std::optional<std::string> background_color;

  friend bool operator==(const ApplicationResponse&, const ApplicationResponse&) = default;
};

}  // namespace velmoradine
