#pragma once

// Colours of the public pages. Applications register their brand and
// background colours as free text; a page only ever shows colours it could
// read, written back as #rrggbb, so the colours the browser paints are the
// ones whose contrast was checked here. Pure functions, safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmoradine::devserver {

struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const Color&) const = default;
};

// WCAG's minimum contrast for normal text.
inline constexpr double kMinimumTextContrast = 4.5;

// Reads #rgb, #rgba, #rrggbb, #rrggbbaa, rgb()/rgba() with numbers or
// percentages, and the CSS colour names. A translucent colour is given as
// painted over `underneath`. Nothing for any other text.
std::optional<Color> parseColor(std::string_view text, Color underneath);

std::string cssHex(Color color);

// WCAG 2 relative luminance, 0 (black) to 1 (white).
double relativeLuminance(Color color);
// WCAG 2 contrast ratio, 1 to 21, the same either way round.
double contrastRatio(Color first, Color second);

// A light or dark text colour with at least kMinimumTextContrast on `background`.
Color readableTextOn(Color background);
// `accent` moved towards `text` just far enough to reach kMinimumTextContrast
// on `background`; `text` must reach it itself.
Color readableAccent(Color accent, Color background, Color text);

// Every colour a page paints text with, each pair at least kMinimumTextContrast.
struct PageTheme {
  Color background;
  Color text;
  Color link;
  Color buttonBackground;
  Color buttonText;
};

// The theme of an application's colours; a missing or unreadable one keeps
// the default.
PageTheme themeFor(const std::optional<std::string>& brandColor,
                   const std::optional<std::string>& backgroundColor);

// Finds a CSS colour name, ignoring case.
std::optional<Color> namedColor(std::string_view name);

}  // namespace velmoradine::devserver
