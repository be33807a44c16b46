#pragma once

// How libcurl's failures read as URL errors. Private to the http area.

#include <curl/curl.h>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine::curl_session {

// The URL error for a transfer that ended with `code`; its detail is
// `detail` (libcurl's error buffer), or libcurl's own text for the code when
// that is empty.
Error transportError(CURLcode code, const char* detail);

}  // namespace velmoradine::curl_session
