#include "velmoradine/platform/http/cache_freshness.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>

namespace velmoradine::curl_session {
namespace {

std::string lowercased(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::chrono::system_clock::time_point> httpDate(
    const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  time_t seconds = curl_getdate(text->c_str(), nullptr);
  if (seconds < 0) return std::nullopt;
  return std::chrono::system_clock::from_time_t(seconds);
}

// The "max-age" of a Cache-Control value, when given.
std::optional<std::chrono::seconds> maxAge(const std::string& cacheControl) {
  auto at = cacheControl.find("max-age=");
  if (at == std::string::npos) return std::nullopt;
  try {
    return std::chrono::seconds(std::stoll(cacheControl.substr(at + 8)));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

bool isFresh(const CachedURLResponse& cached) {
  const HTTPURLResponse& response = cached.response;
  std::string cacheControl =
      lowercased(response.valueForHTTPHeaderField("Cache-Control").value_or(""));
  if (cacheControl.find("no-cache") != std::string::npos) return false;
  std::chrono::system_clock::duration lifetime{};
  auto date = httpDate(response.valueForHTTPHeaderField("Date")).value_or(cached.storedAt);
  if (auto age = maxAge(cacheControl)) {
    lifetime = *age;
  } else if (auto expires = httpDate(response.valueForHTTPHeaderField("Expires"))) {
    lifetime = *expires - date;
  } else if (auto modified = httpDate(response.valueForHTTPHeaderField("Last-Modified"))) {
    lifetime = (date - *modified) / 10;
  }
  return std::chrono::system_clock::now() - cached.storedAt < lifetime;
}

bool isStorable(const URLRequest& request, const HTTPURLResponse& response) {
  if (response.statusCode != 200) return false;
  auto noStore = [](const std::optional<std::string>& value) {
    return value && lowercased(*value).find("no-store") != std::string::npos;
  };
  return !noStore(response.valueForHTTPHeaderField("Cache-Control")) &&
         !noStore(request.valueForHTTPHeaderField("Cache-Control"));
}

}  // namespace velmoradine::curl_session
