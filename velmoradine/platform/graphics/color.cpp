#include "velmoradine/platform/graphics/color.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmoradine {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int to8Bit(double component) {
  return static_cast<int>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

}  // namespace

std::optional<Color> Color::fromHex(std::string_view text) {
  if (text.size() != 7 && text.size() != 9) return std::nullopt;
  if (text[0] != '#') return std::nullopt;
  double components[4] = {0, 0, 0, 1};
  for (std::size_t i = 1, n = 0; i < text.size(); i += 2, ++n) {
    int high = hexDigit(text[i]);
    int low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    components[n] = (high * 16 + low) / 255.0;
  }
  return Color{components[0], components[1], components[2], components[3]};
}

std::string Color::hexString() const {
  char buffer[10];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X%02X", to8Bit(red), to8Bit(green),
                to8Bit(blue), to8Bit(alpha));
  return buffer;
}

}  // namespace velmoradine
