#include "server/validators.hpp"

#include <array>
#include <cstdio>
#include <vector>

namespace velmoradine::devserver {

namespace {

constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string_view opaqueTag(std::string_view tag) {
  return tag.starts_with("W/") ? tag.substr(2) : tag;
}

// The entity tags of an If-Match or If-None-Match list; "*" stays as is.
std::vector<std::string_view> entityTags(std::string_view list) {
  std::vector<std::string_view> tags;
  while (!list.empty()) {
    auto comma = list.find(',');
    tags.push_back(trimmed(list.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return tags;
}

bool listMatches(std::string_view list, std::string_view current, bool strong) {
  for (auto tag : entityTags(list)) {
    if (tag == "*") return true;
    if (strong) {
      if (!tag.starts_with("W/") && !current.starts_with("W/") && tag == current) return true;
    } else if (opaqueTag(tag) == opaqueTag(current)) {
      return true;
    }
  }
  return false;
}

std::optional<std::time_t> headerDate(const httplib::Request& request, const char* name) {
  if (!request.has_header(name)) return std::nullopt;
  return parseHttpDate(request.get_header_value(name));
}

}  // namespace

std::string httpDate(std::time_t time) {
  std::tm parts{};
  gmtime_r(&time, &parts);
  std::array<char, 40> text{};
  std::snprintf(text.data(), text.size(), "%s, %02d %s %04d %02d:%02d:%02d GMT",
                kWeekdays[static_cast<std::size_t>(parts.tm_wday)].data(), parts.tm_mday,
                kMonths[static_cast<std::size_t>(parts.tm_mon)].data(), parts.tm_year + 1900,
                parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text.data();
}

std::optional<std::time_t> parseHttpDate(std::string_view text) {
  text = trimmed(text);
  if (text.size() != 29) return std::nullopt;
  std::tm parts{};
  std::string copy(text);
  const char* end = strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return timegm(&parts);
}

void setValidators(httplib::Response& response, const Validators& validators) {
  response.set_header("ETag", validators.entityTag);
  if (validators.lastModified) {
    response.set_header("Last-Modified", httpDate(*validators.lastModified));
  }
}

Precondition evaluatePreconditions(const httplib::Request& request, const Validators& validators) {
  const auto& tag = validators.entityTag;
  const auto& modified = validators.lastModified;
  if (request.has_header("If-Match")) {
    if (!listMatches(request.get_header_value("If-Match"), tag, true)) return Precondition::failed;
  } else if (auto since = headerDate(request, "If-Unmodified-Since"); since && modified) {
    if (*modified > *since) return Precondition::failed;
  }
  if (request.has_header("If-None-Match")) {
    bool matches = listMatches(request.get_header_value("If-None-Match"), tag, false);
    return matches ? Precondition::notModified : Precondition::proceed;
  }
  if (auto since = headerDate(request, "If-Modified-Since"); since && modified) {
    if (*modified <= *since) return Precondition::notModified;
  }
  return Precondition::proceed;
}

bool ifRangeHolds(const httplib::Request& request, const Validators& validators) {
  if (!request.has_header("If-Range")) return true;
  std::string condition = request.get_header_value("If-Range");
  if (condition.starts_with('"')) return condition == validators.entityTag;
  auto date = parseHttpDate(condition);
  return date && validators.lastModified && *date == *validators.lastModified;
}

}  // namespace velmoradine::devserver
