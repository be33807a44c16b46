#pragma once

// HTTP's rules for keeping replies in the URL cache and answering from it.
// Private to the http area.

#include "velmoradine/platform/http/url_cache.hpp"
#include "velmoradine/platform/http/url_request.hpp"

namespace velmoradine::curl_session {

// HTTP's freshness rule: explicit max-age, else Expires minus Date, else a
// tenth of the time since Last-Modified; "no-cache" is never fresh.
bool isFresh(const CachedURLResponse& cached);

// A 200 reply that neither the request nor the reply marks "no-store".
bool isStorable(const URLRequest& request, const HTTPURLResponse& response);

}  // namespace velmoradine::curl_session
