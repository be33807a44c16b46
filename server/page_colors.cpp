#include "server/page_colors.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

namespace velmoradine::devserver {

namespace {

constexpr Color kDefaultBackground{0x10, 0x10, 0x14};
constexpr Color kDefaultAccent{0x6c, 0x5c, 0xe7};
// Softer than pure white and black; used whenever they reach the minimum.
constexpr Color kLightText{0xf4, 0xf4, 0xf6};
constexpr Color kDarkText{0x14, 0x14, 0x18};
constexpr Color kWhite{0xff, 0xff, 0xff};
constexpr Color kBlack{0x00, 0x00, 0x00};
// How far an accent moves towards the text colour per step.
constexpr int kAccentSteps = 20;

std::string lowercaseTrimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  std::string lower(text);
  std::ranges::transform(lower, lower.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

std::uint8_t channel(double value) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

Color blend(Color over, double alpha, Color under) {
  alpha = std::clamp(alpha, 0.0, 1.0);
  auto mix = [alpha](std::uint8_t top, std::uint8_t bottom) {
    return channel(top * alpha + bottom * (1 - alpha));
  };
  return {mix(over.red, under.red), mix(over.green, under.green), mix(over.blue, under.blue)};
}

std::optional<int> hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

std::optional<Color> parseHex(std::string_view digits, Color underneath) {
  std::vector<int> values;
  for (char c : digits) {
    auto value = hexDigit(c);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  std::array<int, 4> rgba{0, 0, 0, 255};
  if (values.size() == 3 || values.size() == 4) {
    for (std::size_t i = 0; i < values.size(); ++i) rgba[i] = values[i] * 17;
  } else if (values.size() == 6 || values.size() == 8) {
    for (std::size_t i = 0; i < values.size() / 2; ++i)
      rgba[i] = values[2 * i] * 16 + values[2 * i + 1];
  } else {
    return std::nullopt;
  }
  Color color{static_cast<std::uint8_t>(rgba[0]), static_cast<std::uint8_t>(rgba[1]),
              static_cast<std::uint8_t>(rgba[2])};
  return blend(color, rgba[3] / 255.0, underneath);
}

// A number, or a percentage of `full`.
std::optional<double> parseComponent(std::string_view token, double full) {
  bool percent = token.ends_with('%');
  if (percent) token.remove_suffix(1);
  double value = 0;
  auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size() || !std::isfinite(value))
    return std::nullopt;
  return percent ? value * full / 100 : value;
}

std::optional<Color> parseFunction(std::string_view text, Color underneath) {
  std::string_view inside;
  if (text.starts_with("rgba(")) {
    inside = text.substr(5);
  } else if (text.starts_with("rgb(")) {
    inside = text.substr(4);
  } else {
    return std::nullopt;
  }
  if (!inside.ends_with(')')) return std::nullopt;
  inside.remove_suffix(1);
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= inside.size(); ++i) {
    bool separator = i == inside.size() || inside[i] == ',' || inside[i] == '/' ||
                     std::isspace(static_cast<unsigned char>(inside[i]));
    if (!separator) continue;
    if (i > start) tokens.push_back(inside.substr(start, i - start));
    start = i + 1;
  }
  if (tokens.size() != 3 && tokens.size() != 4) return std::nullopt;
  std::array<double, 4> rgba{0, 0, 0, 1};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    auto value = parseComponent(tokens[i], i < 3 ? 255.0 : 1.0);
    if (!value) return std::nullopt;
    rgba[i] = *value;
  }
  return blend({channel(rgba[0]), channel(rgba[1]), channel(rgba[2])}, rgba[3], underneath);
}

double linearChannel(std::uint8_t value) {
  double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

std::optional<Color> parseColor(std::string_view text, Color underneath) {
  std::string lower = lowercaseTrimmed(text);
  if (lower.starts_with('#')) return parseHex(std::string_view(lower).substr(1), underneath);
  if (lower == "transparent") return underneath;
  if (auto named = namedColor(lower)) return named;
  return parseFunction(lower, underneath);
}

std::string cssHex(Color color) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex = "#";
  for (std::uint8_t value : {color.red, color.green, color.blue}) {
    hex += kDigits[value >> 4];
    hex += kDigits[value & 0xf];
  }
  return hex;
}

double relativeLuminance(Color color) {
  return 0.2126 * linearChannel(color.red) + 0.7152 * linearChannel(color.green) +
         0.0722 * linearChannel(color.blue);
}

double contrastRatio(Color first, Color second) {
  double a = relativeLuminance(first);
  double b = relativeLuminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

Color readableTextOn(Color background) {
  // One of pure white and pure black always reaches 4.58:1, the worst case
  // being a background of luminance 0.18.
  bool light = contrastRatio(kWhite, background) >= contrastRatio(kBlack, background);
  Color soft = light ? kLightText : kDarkText;
  if (contrastRatio(soft, background) >= kMinimumTextContrast) return soft;
  return light ? kWhite : kBlack;
}

Color readableAccent(Color accent, Color background, Color text) {
  for (int step = 0; step < kAccentSteps; ++step) {
    Color candidate = blend(text, static_cast<double>(step) / kAccentSteps, accent);
    if (contrastRatio(candidate, background) >= kMinimumTextContrast) return candidate;
  }
  return text;
}

PageTheme themeFor(const std::optional<std::string>& brandColor,
                   const std::optional<std::string>& backgroundColor) {
  // The browser's canvas under a translucent background is white.
  Color background = kDefaultBackground;
  if (backgroundColor) background = parseColor(*backgroundColor, kWhite).value_or(background);
  Color brand = kDefaultAccent;
  if (brandColor) brand = parseColor(*brandColor, background).value_or(brand);
  Color text = readableTextOn(background);
  return {background, text, readableAccent(brand, background, text), brand, readableTextOn(brand)};
}

}  // namespace velmoradine::devserver
