#pragma once

// The records the kit sends, checked field by field. Every parse gives either
// the record or a message naming the first field that is wrong, for a 400
// reply. Keys the records do not define are ignored.

#include <cstdint>
#include <expected>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velmoradine::devserver {

struct UploadPlanRequest {
  std::int64_t byte_size = 0;
  std::string checksum;
  std::string content_type;
};

struct ShareRequest {
  UploadPlanRequest video_content;
  UploadPlanRequest preview_image;
  std::string title;
  std::string shareable_type;
};

struct ActivateRequest {
  bool video_content = false;
  bool preview_image = false;
  std::string shareable_access_token;
};

struct DeleteShareRequest {
  std::string shareable_access_token;
};

// Titles longer than this are refused rather than cut.
inline constexpr std::size_t kMaxTitleBytes = 1024;

std::expected<ShareRequest, std::string> parseShareRequest(const nlohmann::json& body,
                                                           std::uint64_t maxUploadBytes);
std::expected<ActivateRequest, std::string> parseActivateRequest(const nlohmann::json& body);
std::expected<DeleteShareRequest, std::string> parseDeleteShareRequest(const nlohmann::json& body);
// Checks one wrapped event of a `BatchEvents` body for the fields it
// requires; `path` names it in the message ("events[3]").
std::expected<void, std::string> checkBatchEvent(const nlohmann::json& event,
                                                 const std::string& path);

}  // namespace velmoradine::devserver
