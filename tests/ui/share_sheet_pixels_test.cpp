#include <gtest/gtest.h>

#include "tests/ui/share_sheet_fixture.hpp"

namespace velmoradine::testing {
namespace {

// Colours compared in 8-bit steps, as a PNG of the screen stores them.
std::array<int, 3> bytes(const Color& color) {
  auto byte = [](double value) { return int(std::lround(value * 255)); };
  return {byte(color.red), byte(color.green), byte(color.blue)};
}

std::array<int, 3> pixelAt(const UIWindow& window, Point point) {
  const double scale = window.screen().scale();
  return bytes(window.bitmap().colorAt(int(point.x * scale), int(point.y * scale)));
}

TEST_F(ShareSheetTest, TheScreenShowsTheSheetInTheAppearanceAskedFor) {
  struct Case {
    UIUserInterfaceStyle style;
    std::array<int, 3> background;
  } cases[] = {{UIUserInterfaceStyle::light, {247, 246, 255}},
               {UIUserInterfaceStyle::dark, {15, 15, 15}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.background[0]);
    window->setOverrideUserInterfaceStyle(c.style);
    presentSheet(6);
    window->snapshot();
    // The sheet starts 54 points down; its preview 48 points further.
    EXPECT_EQ(pixelAt(*window, {187, 54 + 20}), c.background) << "above the preview";
    EXPECT_EQ(pixelAt(*window, {187, 54 + 200}), (std::array<int, 3>{0, 0, 255})) << "preview";
    // Four whole buttons and half of the fifth, 9.375 points apart, the
    // icons 52.5 points wide at the top of 75-point cells in an 80-point row
    // that ends 23 points above the 80-point footer.
    const double iconCenterY = 54 + 758 - 80 - 23 - 80 + 2.5 + 26.25;
    for (int i = 0; i < 4; ++i) {
      const double cellLeft = 6 + i * (75 + 9.375);
      EXPECT_EQ(pixelAt(*window, {cellLeft + 37.5, iconCenterY}), bytes(outletColors()[i]))
          << "icon " << i;
      EXPECT_EQ(pixelAt(*window, {cellLeft + 2, iconCenterY}), c.background) << "beside icon " << i;
    }
    EXPECT_EQ(pixelAt(*window, {370, iconCenterY}), bytes(outletColors()[4]))
        << "part of the fifth";
    // The footer: background with the logo's text in its top part.
    const double footerTop = 54 + 758 - 80;
    EXPECT_EQ(pixelAt(*window, {10, footerTop + 60}), c.background);
    int inked = 0;
    // The text, right of the 14-point logo image centred with it.
    for (double x = 165; x < 235; x += 1.0 / 3) {
      for (double y = footerTop + 10; y < footerTop + 30; y += 1.0 / 3) {
        const auto pixel = pixelAt(*window, {x, y});
        inked += std::abs(pixel[0] - c.background[0]) > 60;
      }
    }
    EXPECT_GT(inked, 100) << "the logo's text, readable on the background";
    root->dismiss(false);
    advance(1);
  }
}

}  // namespace
}  // namespace velmoradine::testing
