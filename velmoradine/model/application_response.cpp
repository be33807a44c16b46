#include "velmoradine/model/application_response.hpp"

#include "velmoradine/model/json_coding.hpp"

namespace velmoradine {

ApplicationResponse ApplicationResponse::fromJSON(const nlohmann::json& json) {
  return {json::optional<std::string>(json, "cta_link"), json::optional<std::string>(json, "slug"),
          json::optional<std::string>(json, "brand_color"),
          json::optional<std::string>(json, "background_color")};
}

ContextResponse ContextResponse::fromJSON(const nlohmann::json& json) {
  return {json::required<std::string>(json, "code")};
}

}  // namespace velmoradine
