#include "server/oembed.hpp"

#include <algorithm>
#include <cmath>
#include <regex>

#include "server/http_support.hpp"
#include "server/share_view.hpp"

namespace velmoradine::devserver {

namespace {

constexpr PixelSize kUnknownVideoSize{640, 360};

}  // namespace

std::string oembedAddress(std::string_view base, std::string_view pageAddress) {
  return std::string(base) + "oembed?url=" + percentEncode(pageAddress) + "&format=json";
}

std::optional<std::string> linkIdOfPage(std::string_view url, std::string_view base) {
  static const std::regex kLinkPath(R"(s/([A-Za-z0-9_-]{22}))");
  if (!url.starts_with(base)) return std::nullopt;
  std::string path(url.substr(base.size()));
  std::smatch match;
  if (!std::regex_match(path, match, kLinkPath)) return std::nullopt;
  return match[1].str();
}

PixelSize playerSize(const PublicShare& share) {
  return share.videoSize.value_or(kUnknownVideoSize);
}

PixelSize fitWithin(PixelSize size, std::optional<int> maxWidth, std::optional<int> maxHeight) {
  double scale = 1;
  if (maxWidth) scale = std::min(scale, static_cast<double>(*maxWidth) / size.width);
  if (maxHeight) scale = std::min(scale, static_cast<double>(*maxHeight) / size.height);
  auto scaled = [scale](int side) {
    return std::max(1, static_cast<int>(std::floor(side * scale)));
  };
  return {scaled(size.width), scaled(size.height)};
}

std::string playerIframe(const PublicShare& share, std::string_view base, PixelSize size) {
  auto addresses = shareAddresses(base, share.linkId);
  return "<iframe src=\"" + htmlEscape(addresses.embed) + "\" width=\"" +
         std::to_string(size.width) + "\" height=\"" + std::to_string(size.height) + "\" title=\"" +
         htmlEscape(displayTitle(share)) +
         "\" style=\"border:0\" allow=\"autoplay; fullscreen; picture-in-picture\" "
         "allowfullscreen></iframe>";
}

nlohmann::json oembedReply(const PublicShare& share, std::string_view base,
                           std::optional<int> maxWidth, std::optional<int> maxHeight) {
  PixelSize player = fitWithin(playerSize(share), maxWidth, maxHeight);
  // A thumbnail needs its size; a preview of unknown size is taken to have
  // the video's.
  PixelSize thumbnail = share.previewSize.value_or(playerSize(share));
  return {
      {"version", "1.0"},
      {"type", "video"},
      {"title", displayTitle(share)},
      {"provider_name", share.application.slug},
      {"provider_url", base},
      {"html", playerIframe(share, base, player)},
      {"width", player.width},
      {"height", player.height},
      {"thumbnail_url", shareAddresses(base, share.linkId).preview},
      {"thumbnail_width", thumbnail.width},
      {"thumbnail_height", thumbnail.height},
  };
}

}  // namespace velmoradine::devserver
