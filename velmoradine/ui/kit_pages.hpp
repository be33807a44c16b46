#pragma once

// The kit's own web pages (the call-to-action page the share sheet's logo
// opens) are served beside the API, so a development backend shows its own
// pages: their origin is that of the host's configured API base URL.

#include <optional>
#include <string>

#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

// "scheme://host[:port]" of the configured API base URL; the configuration
// error when the host's Info.plist holds an invalid one.
Result<std::string> kitPagesOrigin(const Bundle& bundle = Bundle::main());

// "scheme://host[:port]" of an API address, an IPv6 host in brackets; none
// when the address has no host.
std::optional<std::string> kitPagesOrigin(const URL& apiBaseURL);

// `origin` + "/app-cta?ref=" + `slug`, the slug appended as it is, without
// escaping; none when that is no valid URL (a slug with a space, say).
std::optional<URL> callToActionURL(const std::string& origin, const std::string& slug);

}  // namespace velmoradine
