#pragma once

// Colours in the sRGB space with straight (not premultiplied) alpha, each
// component in 0…1.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmoradine {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  static Color black() { return {0, 0, 0, 1}; }
  static Color white() { return {1, 1, 1, 1}; }
  static Color clear() { return {0, 0, 0, 0}; }
  static Color rgba(double red, double green, double blue, double alpha = 1) {
    return {red, green, blue, alpha};
  }
  // UIColor's integer constructors, opaque. Components are not clamped: 510
  // gives 2. `rgb(0xF7F6FF)` reads bits 16-23, 8-15 and 0-7 as red, green
  // and blue and ignores the bits above.
  static Color rgb(int red, int green, int blue) {
    return {red / 255.0, green / 255.0, blue / 255.0, 1};
  }
  static Color rgb(std::int64_t rgb) {
    return Color::rgb(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
  }

  // "#RRGGBB" or "#RRGGBBAA" (hex digits in either case); none for any other text.
  static std::optional<Color> fromHex(std::string_view text);
  // "#RRGGBBAA" in upper case, each component rounded to 8 bits.
  std::string hexString() const;
  Color withAlpha(double newAlpha) const { return {red, green, blue, newAlpha}; }

  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace velmoradine
