#include "velmoradine/platform/http/url_request.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace velmoradine {

bool headerNameEquals(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::optional<std::string> headerValue(const HTTPHeaderFields& fields, std::string_view name) {
  for (const auto& [field, value] : fields) {
    if (headerNameEquals(field, name)) return value;
  }
  return std::nullopt;
}

void URLRequest::setValue(std::optional<std::string> value, std::string_view field) {
  auto found = std::ranges::find_if(
      headers_, [&](const auto& entry) { return headerNameEquals(entry.first, field); });
  if (!value) {
    if (found != headers_.end()) headers_.erase(found);
    return;
  }
  if (found != headers_.end()) {
    found->second = std::move(*value);
  } else {
    headers_.emplace_back(std::string(field), std::move(*value));
  }
}

void URLRequest::addValue(std::string_view value, std::string_view field) {
  auto found = std::ranges::find_if(
      headers_, [&](const auto& entry) { return headerNameEquals(entry.first, field); });
  if (found != headers_.end()) {
    found->second += ", ";
    found->second += value;
  } else {
    headers_.emplace_back(std::string(field), std::string(value));
  }
}

long long HTTPURLResponse::expectedContentLength() const {
  auto text = valueForHTTPHeaderField("Content-Length");
  long long length = -1;
  if (!text) return -1;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), length);
  if (error != std::errc() || end != text->data() + text->size() || length < 0) return -1;
  return length;
}

std::optional<std::string> HTTPURLResponse::mimeType() const {
  auto type = valueForHTTPHeaderField("Content-Type");
  if (!type) return std::nullopt;
  std::string media = type->substr(0, type->find(';'));
  while (!media.empty() && std::isspace(static_cast<unsigned char>(media.back()))) media.pop_back();
  std::ranges::transform(media, media.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return media;
}

}  // namespace velmoradine
