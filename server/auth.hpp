#pragma once

// Bearer authentication by API key, shared by the API and the collector.

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "server/database.hpp"
#include "server/http_support.hpp"

namespace velmoradine::devserver {

// The application whose key the request's "Authorization: Bearer KEY"
// carries. Without a credential, or with a key no application has, replies
// 401 with a JSON error and gives nothing.
std::optional<Application> authenticate(const httplib::Request& request,
                                        httplib::Response& response, Database& database);

// The contributing user named by "X-Contrib-UserId", when the request has one.
std::optional<std::string> contribUserId(const httplib::Request& request);

}  // namespace velmoradine::devserver

namespace velmoradine::devserver {

// An authenticated request with a body declared as JSON, not parsed yet.
struct JsonBodyRequest {
  Application application;
  std::string body;
};

// Reads the body (at most `maximumBodyBytes`), authenticates and checks
// that the body is declared as JSON. On failure the error reply (401, 413,
// 415 or 400) is written and nothing is given.
std::optional<JsonBodyRequest> acceptJsonBody(const httplib::Request& request,
                                              httplib::Response& response,
                                              const httplib::ContentReader& reader,
                                              Database& database, std::size_t maximumBodyBytes);

// An authenticated request with a JSON body.
struct JsonRequest {
  Application application;
  nlohmann::json body;
};

// acceptJsonBody, with the body parsed as JSON (400 when it is not).
std::optional<JsonRequest> acceptJsonRequest(const httplib::Request& request,
                                             httplib::Response& response,
                                             const httplib::ContentReader& reader,
                                             Database& database,
                                             std::size_t maximumBodyBytes = kMaxJsonBodyBytes);

}  // namespace velmoradine::devserver
