#include "velmoradine/platform/foundation/url.hpp"

#include <curl/curl.h>

#include <array>

namespace velmoradine {
namespace {

// Custom schemes (an app's "instagram-stories://", say) are URLs too.
constexpr unsigned kParseFlags = CURLU_NON_SUPPORT_SCHEME;

struct CurlURLDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using CurlURL = std::unique_ptr<CURLU, CurlURLDeleter>;

std::optional<std::string> part(CURLU* handle, CURLUPart which, unsigned flags = 0) {
  char* value = nullptr;
  if (curl_url_get(handle, which, &value, flags) != CURLUE_OK || !value) return std::nullopt;
  std::string text(value);
  curl_free(value);
  return text;
}

bool hasOnlyURLCharacters(std::string_view text) {
  for (unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7f) return false;
  }
  return true;
}

bool isAllowed(unsigned char c, URLCharacterSet allowed) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  std::string_view extra =
      allowed == URLCharacterSet::urlQueryAllowed ? "!$&'()*+,-./:;=?@_~" : "!$&'()*+,-.:;=@_~";
  return extra.find(static_cast<char>(c)) != std::string_view::npos;
}

template <typename Allowed>
std::string percentEncode(std::string_view text, Allowed allowed) {
  static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  std::string encoded;
  encoded.reserve(text.size());
  for (unsigned char c : text) {
    if (allowed(c)) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0f];
    }
  }
  return encoded;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<URL> URL::make(std::string_view text, const URL* base) {
  // libcurl tolerates some bytes that no URL may contain; refuse them here so
  // that a URL's text is always safe to put on a request line.
  if (text.empty() || !hasOnlyURLCharacters(text)) return std::nullopt;
  CurlURL handle(curl_url());
  if (!handle) return std::nullopt;
  std::string input(text);
  if (base && curl_url_set(handle.get(), CURLUPART_URL, base->absoluteString().c_str(),
                           kParseFlags) != CURLUE_OK) {
    return std::nullopt;
  }
  if (curl_url_set(handle.get(), CURLUPART_URL, input.c_str(), kParseFlags) != CURLUE_OK) {
    return std::nullopt;
  }
  auto state = std::make_shared<State>();
  auto resolved = part(handle.get(), CURLUPART_URL);
  auto scheme = part(handle.get(), CURLUPART_SCHEME);
  if (!resolved || !scheme) return std::nullopt;
  state->text = base ? *resolved : std::move(input);
  state->scheme = std::move(*scheme);
  state->host = part(handle.get(), CURLUPART_HOST);
  if (state->host && state->host->empty()) state->host.reset();
  if (auto port = part(handle.get(), CURLUPART_PORT)) {
    state->port = static_cast<std::uint16_t>(std::stoul(*port));
  }
  state->encodedPath = part(handle.get(), CURLUPART_PATH).value_or("/");
  state->path = part(handle.get(), CURLUPART_PATH, CURLU_URLDECODE).value_or(state->encodedPath);
  state->query = part(handle.get(), CURLUPART_QUERY);
  state->fragment = part(handle.get(), CURLUPART_FRAGMENT);
  return URL(std::move(state));
}

std::optional<URL> URL::parse(std::string_view text) {
  return make(text, nullptr);
}

std::optional<URL> URL::parse(std::string_view text, const URL& base) {
  return make(text, &base);
}

URL URL::fileURL(const std::filesystem::path& path) {
  std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
  std::string encoded = percentEncode(absolute, [](unsigned char c) {
    return c == '/' || isAllowed(c, URLCharacterSet::urlPathSegmentAllowed);
  });
  // An escaped absolute path always parses.
  return *parse("file://" + encoded);
}

std::string URL::lastPathComponent() const {
  std::string_view path = state_->path;
  if (path.empty()) return {};
  if (path == "/") return "/";
  if (path.ends_with('/')) path.remove_suffix(1);
  auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string URL::pathExtension() const {
  std::string last = lastPathComponent();
  auto dot = last.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return last.substr(dot + 1);
}

URL URL::appendingPathComponent(std::string_view component) const {
  std::string path = state_->encodedPath;
  if (!path.ends_with('/')) path += '/';
  path += addingPercentEncoding(component, URLCharacterSet::urlPathSegmentAllowed);
  // Rebuilt by hand: libcurl would also normalise the escapes of the rest.
  const std::string& text = state_->text;
  std::size_t separator = text.find("://");
  if (separator == std::string::npos) return *this;
  std::size_t end = text.find_first_of("/?#", separator + 3);
  std::string rebuilt = text.substr(0, end) + path;
  if (state_->query) rebuilt += "?" + *state_->query;
  if (state_->fragment) rebuilt += "#" + *state_->fragment;
  if (auto url = parse(rebuilt)) return *url;
  // Every part above is escaped, so only a URL that cannot be rebuilt gets
  // here; keep it unchanged rather than invent a text.
  return *this;
}

std::string addingPercentEncoding(std::string_view text, URLCharacterSet allowed) {
  return percentEncode(text, [allowed](unsigned char c) { return isAllowed(c, allowed); });
}

std::optional<std::string> removingPercentEncoding(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexValue(text[i + 1]);
    int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

}  // namespace velmoradine
