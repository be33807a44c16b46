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

Shareable Shareable::fromJSON(const nlohmann::json& json) {
  return {json::required<std::string>(json, "title"), json::required<std::string>(json, "link"),
          json::required<std::string>(json, "shareable_access_token")};
}

ShareResponse ShareResponse::fromJSON(const nlohmann::json& json) {
  return {json::required<UploadPlan>(json, "video_content"),
          json::required<UploadPlan>(json, "preview_image"),
          json::required<Shareable>(json, "shareable")};
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
