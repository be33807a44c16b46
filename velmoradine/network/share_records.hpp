#pragma once

// The wire records of the share endpoints. Every field is required in both
// directions; keys are the field names.

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "velmoradine/network/upload_plan.hpp"

namespace velmoradine {

struct ShareableRequest {
  std::string title;
  std::string shareable_type;

  nlohmann::json toJSON() const;
  friend bool operator==(const ShareableRequest&, const ShareableRequest&) = default;
};

// The body of share creation: the two files and what is shared.
struct ShareRequest {
  UploadPlanRequest video_content;
  UploadPlanRequest preview_image;
  ShareableRequest shareable;

  nlohmann::json toJSON() const;
  friend bool operator==(const ShareRequest&, const ShareRequest&) = default;
};

struct Shareable {
  std::string title;
  // The public link outlets post or copy.
  std::string link;
  // Identifies the share in activation and deletion.
  std::string shareable_access_token;

  static Result<Shareable> decode(const JSONReader& reader);
  friend bool operator==(const Shareable&, const Shareable&) = default;
};

// The reply to share creation: how to upload each file, and the share.
struct ShareResponse {
  UploadPlan video_content;
  UploadPlan preview_image;
  Shareable shareable;

  static Result<ShareResponse> decode(const JSONReader& reader);
  friend bool operator==(const ShareResponse&, const ShareResponse&) = default;
};

// Confirms the upload of one file: exactly one of the two flags is true.
struct ActivateRequest {
  bool video_content = false;
  bool preview_image = false;
  std::string shareable_access_token;

  nlohmann::json toJSON() const;
  friend bool operator==(const ActivateRequest&, const ActivateRequest&) = default;
};

struct DeleteShareRequest {
  std::string shareable_access_token;

  nlohmann::json toJSON() const;
  friend bool operator==(const DeleteShareRequest&, const DeleteShareRequest&) = default;
};

// The reply of endpoints that answer with no data: any JSON document.
struct EmptyResponse {
  static Result<EmptyResponse> decode(const JSONReader&) { return EmptyResponse{}; }
  friend bool operator==(const EmptyResponse&, const EmptyResponse&) = default;
};

}  // namespace velmoradine
