#include "server/http_support.hpp"

#include <algorithm>
#include <charconv>

#include "server/crypto.hpp"
#include "server/validators.hpp"

namespace velmoradine::devserver {

namespace {

// A body beyond this is not worth draining: the connection is cut instead.
constexpr std::size_t kMaxDrainBytes = 64 * 1024 * 1024;

bool isValidHost(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  for (char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

void replyJson(httplib::Response& response, int status, const nlohmann::json& body) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                       "application/json");
}

void replyError(httplib::Response& response, int status, std::string_view code,
                std::string_view message) {
  replyJson(response, status, {{"error", code}, {"message", message}});
}

void replyErrorAndClose(httplib::Response& response, int status, std::string_view code,
                        std::string_view message) {
  replyError(response, status, code, message);
  response.set_header("Connection", "close");
}

BoundedBody readBoundedBody(const httplib::ContentReader& reader, std::size_t limit,
                            std::size_t expected) {
  BoundedBody body;
  body.bytes.reserve(std::min(expected, limit));
  std::size_t seen = 0;
  bool ok = reader([&](const char* data, std::size_t size) {
    seen += size;
    if (body.tooLarge || body.bytes.size() + size > limit) {
      body.tooLarge = true;
      body.bytes.clear();
      return seen <= kMaxDrainBytes;
    }
    body.bytes.append(data, size);
    return true;
  });
  body.complete = ok;
  return body;
}

std::size_t announcedLength(const httplib::Request& request) {
  std::string text = request.get_header_value("Content-Length");
  std::size_t length = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  return error == std::errc() && end == text.data() + text.size() ? length : 0;
}

bool hasJsonContentType(const httplib::Request& request) {
  std::string type = request.get_header_value("Content-Type");
  auto end = type.find(';');
  std::string_view mediaType(type.data(), end == std::string::npos ? type.size() : end);
  while (!mediaType.empty() && mediaType.back() == ' ') mediaType.remove_suffix(1);
  if (mediaType.size() != 16) return false;
  static constexpr std::string_view kJson = "application/json";
  for (std::size_t i = 0; i < mediaType.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(mediaType[i])) != kJson[i]) return false;
  }
  return true;
}

std::optional<nlohmann::json> parseJson(std::string_view text, std::string& problem) {
  bool tooDeep = false;
  nlohmann::json::parser_callback_t callback = [&](int depth, nlohmann::json::parse_event_t,
                                                   nlohmann::json&) {
    if (depth > kMaxJsonDepth) tooDeep = true;
    return !tooDeep;
  };
  auto value = nlohmann::json::parse(text, callback, false);
  if (tooDeep) {
    problem = "JSON nests deeper than " + std::to_string(kMaxJsonDepth) + " levels";
    return std::nullopt;
  }
  if (value.is_discarded()) {
    problem = "the body is not valid JSON";
    return std::nullopt;
  }
  return value;
}

std::string baseURLFor(const httplib::Request& request, const Options& options,
                       const std::string& listenBaseURL) {
  if (options.publicURL) return *options.publicURL;
  std::string host = request.get_header_value("Host");
  if (isValidHost(host)) return "http://" + host + "/";
  return listenBaseURL;
}

void replyRevalidated(const httplib::Request& request, httplib::Response& response,
                      std::string body, const std::string& contentType,
                      std::chrono::seconds maxAge) {
  Validators validators{"W/\"" + md5Base64(body) + "\"", std::nullopt};
  setValidators(response, validators);
  response.set_header("Cache-Control", "public, max-age=" + std::to_string(maxAge.count()));
  response.set_header("Vary", "Accept-Encoding");
  switch (evaluatePreconditions(request, validators)) {
    case Precondition::notModified:
      response.status = 304;
      return;
    case Precondition::failed:
      response.status = 412;
      return;
    case Precondition::proceed:
      response.status = 200;
      response.set_content(std::move(body), contentType);
      return;
  }
}

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace velmoradine::devserver
