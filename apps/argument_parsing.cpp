#include "argument_parsing.hpp"

#include <charconv>
#include <cmath>

namespace velmoradine::cli {
namespace {

template <typename Number>
std::optional<Number> parseWhole(std::string_view text, auto... format) {
  Number value{};
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value, format...);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> parseInteger(std::string_view text) {
  return parseWhole<int>(text);
}

std::optional<double> parseNumber(std::string_view text) {
  auto value = parseWhole<double>(text, std::chars_format::fixed);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<PixelSize> parsePixelSize(std::string_view text) {
  const auto separator = text.find('x');
  if (separator == std::string_view::npos) return std::nullopt;
  auto width = parseInteger(text.substr(0, separator));
  auto height = parseInteger(text.substr(separator + 1));
  if (!width || !height) return std::nullopt;
  return PixelSize{*width, *height};
}

}  // namespace velmoradine::cli
