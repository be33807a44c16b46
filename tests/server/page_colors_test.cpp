// The colours of the public pages: whatever an application registers, every
// text stays readable.

#include "server/page_colors.hpp"

#include <gtest/gtest.h>

namespace velmoradine::devserver {
namespace {

constexpr Color kWhite{255, 255, 255};

TEST(DevServerPageColors, ContrastFollowsWcag) {
  struct Case {
    Color first;
    Color second;
    double ratio;
  };
  const Case cases[] = {
      {{0, 0, 0}, kWhite, 21.0},
      {kWhite, {0, 0, 0}, 21.0},
      {{0x76, 0x76, 0x76}, kWhite, 4.54},
      {{0x77, 0x77, 0x77}, kWhite, 4.48},
      {{0x6c, 0x5c, 0xe7}, kWhite, 4.86},
      {{0xff, 0, 0}, kWhite, 4.00},
      {{0x80, 0x80, 0x80}, {0x80, 0x80, 0x80}, 1.0},
  };
  for (const auto& [first, second, ratio] : cases) {
    EXPECT_NEAR(contrastRatio(first, second), ratio, 0.005)
        << cssHex(first) << " on " << cssHex(second);
  }
}

TEST(DevServerPageColors, ReadsColourNotationsAndRefusesTheRest) {
  struct Case {
    const char* text;
    std::optional<Color> color;
  };
  const Case cases[] = {
      {"#FFF", kWhite},
      {" #6c5ce7 ", Color{0x6c, 0x5c, 0xe7}},
      {"#00000080", Color{127, 127, 127}},
      {"rgb(0 128 255)", Color{0, 128, 255}},
      {"rgba(0, 0, 0, 50%)", Color{128, 128, 128}},
      {"rgb(100%, 0%, 0%)", Color{255, 0, 0}},
      {"RebeccaPurple", Color{0x66, 0x33, 0x99}},
      {"transparent", kWhite},
      {"#12345", std::nullopt},
      {"rgb(1, 2)", std::nullopt},
      {"notacolour", std::nullopt},
      {"red;}</style><script>", std::nullopt},
  };
  for (const auto& [text, color] : cases) {
    EXPECT_EQ(parseColor(text, kWhite), color) << text;
  }
}

TEST(DevServerPageColors, EveryTextOfAThemeKeepsTheMinimumContrast) {
  struct Case {
    std::optional<std::string> brand;
    std::optional<std::string> background;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt},
      {std::nullopt, "white"},
      {"#ffffff", "#ffffff"},
      {"#000", "#000"},
      {"#ffcc00", "white"},
      {"#6c5ce7", "#767676"},
      {"#6c5ce7", "#777777"},
      {"gray", "#808080"},
      {"#595959", "#5a5a5a"},
      {"lime", "#3f3f3f"},
      {"#ff8800", "rgba(0, 0, 0, 0.5)"},
      {"rgb(0 0 255 / 20%)", "navy"},
      {"nonsense", "also nonsense"},
  };
  for (const auto& [brand, background] : cases) {
    PageTheme theme = themeFor(brand, background);
    std::string label = brand.value_or("-") + " on " + background.value_or("-");
    EXPECT_GE(contrastRatio(theme.text, theme.background), kMinimumTextContrast) << label;
    EXPECT_GE(contrastRatio(theme.link, theme.background), kMinimumTextContrast) << label;
    EXPECT_GE(contrastRatio(theme.buttonText, theme.buttonBackground), kMinimumTextContrast)
        << label;
  }
  // A readable brand colour is kept as it is.
  EXPECT_EQ(themeFor("#6c5ce7", "white").link, (Color{0x6c, 0x5c, 0xe7}));
}

}  // namespace
}  // namespace velmoradine::devserver
