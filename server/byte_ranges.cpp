#include "server/byte_ranges.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace velmoradine::devserver {

namespace {

// "a-b", "a-" or "-n" as written, before the file's size applies.
struct RequestedRange {
  std::optional<std::uint64_t> first;
  std::optional<std::uint64_t> last;
};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<std::uint64_t> number(std::string_view digits) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<RequestedRange> parseRequestedRange(std::string_view text) {
  auto dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  std::string_view head = text.substr(0, dash);
  std::string_view tail = text.substr(dash + 1);
  RequestedRange wanted;
  if (head.empty()) {
    wanted.last = number(tail);
    return wanted.last ? std::optional(wanted) : std::nullopt;
  }
  wanted.first = number(head);
  if (!wanted.first) return std::nullopt;
  if (tail.empty()) return wanted;
  wanted.last = number(tail);
  if (!wanted.last || *wanted.last < *wanted.first) return std::nullopt;
  return wanted;
}

std::optional<std::vector<RequestedRange>> parseHeader(std::string_view header) {
  header = trimmed(header);
  constexpr std::string_view kUnit = "bytes=";
  if (header.size() < kUnit.size()) return std::nullopt;
  for (std::size_t i = 0; i < kUnit.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(header[i])) != kUnit[i]) return std::nullopt;
  }
  header.remove_prefix(kUnit.size());
  std::vector<RequestedRange> requested;
  while (true) {
    auto comma = header.find(',');
    std::string_view item = trimmed(header.substr(0, comma));
    // Empty list elements are allowed by the list syntax.
    if (!item.empty()) {
      auto wanted = parseRequestedRange(item);
      if (!wanted) return std::nullopt;
      requested.push_back(*wanted);
    }
    if (comma == std::string_view::npos) break;
    header.remove_prefix(comma + 1);
  }
  if (requested.empty()) return std::nullopt;
  return requested;
}

std::optional<ByteRange> fit(const RequestedRange& wanted, std::uint64_t size) {
  if (size == 0) return std::nullopt;
  if (!wanted.first) {
    if (*wanted.last == 0) return std::nullopt;
    return ByteRange{size - std::min(*wanted.last, size), size - 1};
  }
  if (*wanted.first >= size) return std::nullopt;
  return ByteRange{*wanted.first, std::min(wanted.last.value_or(size - 1), size - 1)};
}

std::vector<ByteRange> merged(std::vector<ByteRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
  std::vector<ByteRange> result;
  for (const auto& range : ranges) {
    if (!result.empty() && range.first <= result.back().last + kRangeMergeGap) {
      result.back().last = std::max(result.back().last, range.last);
    } else {
      result.push_back(range);
    }
  }
  return result;
}

}  // namespace

RangePlan planRanges(std::string_view header, std::uint64_t size) {
  auto requested = parseHeader(header);
  if (!requested || requested->size() > kMaxRequestedRanges) return {};
  std::vector<ByteRange> ranges;
  for (const auto& wanted : *requested) {
    if (auto range = fit(wanted, size)) ranges.push_back(*range);
  }
  if (ranges.empty()) return {RangePlan::Kind::unsatisfiable, {}};
  auto parts = merged(std::move(ranges));
  if (parts.size() > kMaxRangeParts) return {};
  return {RangePlan::Kind::parts, std::move(parts)};
}

}  // namespace velmoradine::devserver
