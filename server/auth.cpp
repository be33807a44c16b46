#include "server/auth.hpp"

#include "server/http_support.hpp"

namespace velmoradine::devserver {

std::optional<Application> authenticate(const httplib::Request& request,
                                        httplib::Response& response, Database& database) {
  auto unauthorized = [&](std::string_view message) {
    replyError(response, 401, "unauthorized", message);
    response.set_header("WWW-Authenticate", "Bearer");
    return std::nullopt;
  };
  if (!request.has_header("Authorization")) {
    return unauthorized("The request carries no \"Authorization: Bearer\" API key.");
  }
  std::string credential = request.get_header_value("Authorization");
  static constexpr std::string_view kScheme = "Bearer ";
  if (credential.size() < kScheme.size() ||
      !std::equal(kScheme.begin(), kScheme.end(), credential.begin(),
                  [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
    return unauthorized("The \"Authorization\" header is not a bearer credential.");
  }
  std::string key = credential.substr(kScheme.size());
  if (key.empty()) return unauthorized("The bearer credential is empty.");
  auto application = database.applicationByKey(key);
  if (!application) return unauthorized("No application has this API key.");
  return application;
}

std::optional<std::string> contribUserId(const httplib::Request& request) {
  if (!request.has_header("X-Contrib-UserId")) return std::nullopt;
  return request.get_header_value("X-Contrib-UserId");
}

}  // namespace velmoradine::devserver

namespace velmoradine::devserver {

std::optional<JsonBodyRequest> acceptJsonBody(const httplib::Request& request,
                                              httplib::Response& response,
                                              const httplib::ContentReader& reader,
                                              Database& database, std::size_t maximumBodyBytes) {
  BoundedBody body = readBoundedBody(reader, maximumBodyBytes, announcedLength(request));
  if (!body.complete) response.set_header("Connection", "close");
  auto application = authenticate(request, response, database);
  if (!application) return std::nullopt;
  if (body.tooLarge) {
    replyError(response, 413, "body_too_large",
               "JSON bodies are limited to " + std::to_string(maximumBodyBytes) + " bytes.");
    return std::nullopt;
  }
  if (!body.complete) {
    replyError(response, 400, "incomplete_body", "The body ended before its announced length.");
    return std::nullopt;
  }
  if (!hasJsonContentType(request)) {
    replyError(response, 415, "unsupported_media_type",
               "The body must be sent with \"Content-Type: application/json\".");
    return std::nullopt;
  }
  return JsonBodyRequest{std::move(*application), std::move(body.bytes)};
}

std::optional<JsonRequest> acceptJsonRequest(const httplib::Request& request,
                                             httplib::Response& response,
                                             const httplib::ContentReader& reader,
                                             Database& database, std::size_t maximumBodyBytes) {
  auto accepted = acceptJsonBody(request, response, reader, database, maximumBodyBytes);
  if (!accepted) return std::nullopt;
  std::string problem;
  auto json = parseJson(accepted->body, problem);
  if (!json) {
    replyError(response, 400, "malformed_json", problem);
    return std::nullopt;
  }
  return JsonRequest{std::move(accepted->application), std::move(*json)};
}

}  // namespace velmoradine::devserver
