#pragma once

// Strict readers for the numbers a command takes: the whole argument must be
// the number, so "16x16x" or "4s" is refused rather than read in part.

#include <optional>
#include <string_view>

namespace velmoradine::cli {

struct PixelSize {
  int width = 0;
  int height = 0;
};

std::optional<int> parseInteger(std::string_view text);
// A finite decimal number.
std::optional<double> parseNumber(std::string_view text);
// "WIDTHxHEIGHT", two integers.
std::optional<PixelSize> parsePixelSize(std::string_view text);

}  // namespace velmoradine::cli
