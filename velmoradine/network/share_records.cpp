#include "velmoradine/network/share_records.hpp"

#include "velmoradine/model/json_coding.hpp"

namespace velmoradine {

nlohmann::json ShareableRequest::toJSON() const {
  return {{"title", title}, {"shareable_type", shareable_type}};
}

nlohmann::json ShareRequest::toJSON() const {
  return {{"video_content", video_content.toJSON()},
          {"preview_image", preview_image.toJSON()},
          {"shareable", shareable.toJSON()}};
}

Result<Shareable> Shareable::decode(const JSONReader& reader) {
  Shareable shareable;
  VELMORADINE_ASSIGN_OR_RETURN(shareable.title, reader.required<std::string>("title"));
  VELMORADINE_ASSIGN_OR_RETURN(shareable.link, reader.required<std::string>("link"));
  VELMORADINE_ASSIGN_OR_RETURN(shareable.shareable_access_token,
                               reader.required<std::string>("shareable_access_token"));
  return shareable;
}

Result<ShareResponse> ShareResponse::decode(const JSONReader& reader) {
  VELMORADINE_ASSIGN_OR_RETURN(UploadPlan video, reader.required<UploadPlan>("video_content"));
  VELMORADINE_ASSIGN_OR_RETURN(UploadPlan preview, reader.required<UploadPlan>("preview_image"));
  VELMORADINE_ASSIGN_OR_RETURN(Shareable shareable, reader.required<Shareable>("shareable"));
  return ShareResponse{std::move(video), std::move(preview), std::move(shareable)};
}

nlohmann::json ActivateRequest::toJSON() const {
  return {{"video_content", video_content},
          {"preview_image", preview_image},
          {"shareable_access_token", shareable_access_token}};
}

nlohmann::json DeleteShareRequest::toJSON() const {
  return {{"shareable_access_token", shareable_access_token}};
}

}  // namespace velmoradine
