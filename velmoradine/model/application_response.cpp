#include "velmoradine/model/application_response.hpp"

#include "velmoradine/model/json_coding.hpp"

namespace velmoradine {

Result<ApplicationResponse> ApplicationResponse::decode(const JSONReader& reader) {
  ApplicationResponse response;
  VELMORADINE_ASSIGN_OR_RETURN(response.cta_link, reader.optional<std::string>("cta_link"));
  VELMORADINE_ASSIGN_OR_RETURN(response.slug, reader.optional<std::string>("slug"));
  VELMORADINE_ASSIGN_OR_RETURN(response.brand_color, reader.optional<std::string>("brand_color"));
  VELMORADINE_ASSIGN_OR_RETURN(response.background_color,
                               reader.optional<std::string>("background_color"));
  return response;
}

Result<ContextResponse> ContextResponse::decode(const JSONReader& reader) {
  VELMORADINE_ASSIGN_OR_RETURN(std::string code, reader.required<std::string>("code"));
  return ContextResponse{std::move(code)};
}

}  // namespace velmoradine
