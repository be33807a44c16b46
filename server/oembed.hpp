#pragma once

// oEmbed (https://oembed.com) for link pages: the discovery address a page
// names and the endpoint's reply, a "video" whose html is an iframe of the
// embeddable player. Pure functions, safe from any thread.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "server/database.hpp"

namespace velmoradine::devserver {

// The endpoint's address for the link page at `pageAddress`.
std::string oembedAddress(std::string_view base, std::string_view pageAddress);

// The link identifier of `url` when it is the address of a link page under
// `base`, exactly as pages name themselves.
std::optional<std::string> linkIdOfPage(std::string_view url, std::string_view base);

// The size at which the player is embedded: the video's, else 16:9.
PixelSize playerSize(const PublicShare& share);

// A size no larger than `maxWidth` by `maxHeight` (when given) with the
// same aspect ratio.
PixelSize fitWithin(PixelSize size, std::optional<int> maxWidth, std::optional<int> maxHeight);

// The endpoint's JSON reply for the share.
nlohmann::json oembedReply(const PublicShare& share, std::string_view base,
                           std::optional<int> maxWidth, std::optional<int> maxHeight);

// The iframe a consumer embeds.
std::string playerIframe(const PublicShare& share, std::string_view base, PixelSize size);

}  // namespace velmoradine::devserver
