#include "velmoradine/share/share_strategy.hpp"

namespace velmoradine {

std::string_view rawValue(ContentType type) {
  return type == ContentType::video ? "video" : "unknown";
}

std::optional<ShareStrategy> shareStrategy(int rawValue) {
  if (rawValue < 0 || rawValue > 3) return std::nullopt;
  return static_cast<ShareStrategy>(rawValue);
}

std::optional<LinkPreviewConfidence> linkPreviewConfidence(int rawValue) {
  switch (rawValue) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 5:
      return static_cast<LinkPreviewConfidence>(rawValue);
    default:
      return std::nullopt;
  }
}

}  // namespace velmoradine
