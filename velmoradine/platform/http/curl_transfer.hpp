#pragma once

// Setting up one libcurl transfer for a request: its header lines, its easy
// handle's options and the callbacks that collect the reply. Private to the
// http area; everything here runs on the session's network thread.

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "velmoradine/platform/http/session_task.hpp"

namespace velmoradine::curl_session {

using SteadyClock = std::chrono::steady_clock;

// One running request: the easy handle and what its callbacks collect.
struct Transfer {
  std::shared_ptr<SessionTask> task;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  std::shared_ptr<const Data> body;
  std::size_t bodyOffset = 0;  // the next byte a streamed body sends
  Data received;
  std::FILE* file = nullptr;
  std::filesystem::path filePath;
  HTTPHeaderFields responseHeaders;
  std::optional<CachedURLResponse> cached;
  SteadyClock::time_point lastActivity = SteadyClock::now();
  SteadyClock::duration idleTimeout{};
  curl_off_t uploaded = 0;
  curl_off_t downloaded = 0;
  std::optional<std::size_t> maximumSize;
  std::optional<Error> failure;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

// A new empty file in the temporary folder for a download.
std::optional<std::pair<std::FILE*, std::filesystem::path>> createDownloadFile();

// The header lines the transfer sends: the request's fields, the session's
// additional ones the request does not set, the revalidation fields of a
// cached reply, and blanks for libcurl's own defaults. A field that would
// break the request apart is an error.
Result<std::vector<std::string>> headerLines(const Transfer& transfer,
                                             const URLSessionConfiguration& configuration);

// Points `easy` (fresh or reset) at the transfer's request with `lines` as
// its header; the transfer then owns the header list. `share` holds the
// session's cookies, if it keeps any.
void setUpHandle(Transfer& transfer, CURL* easy, const std::vector<std::string>& lines,
                 const URLSessionConfiguration& configuration, CURLSH* share);

}  // namespace velmoradine::curl_session
