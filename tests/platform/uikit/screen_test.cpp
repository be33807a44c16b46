#include <gtest/gtest.h>

#include "velmoradine/platform/uikit/ui_screen.hpp"

namespace velmoradine::testing {
namespace {

TEST(ScreenTest, ReadsSizeAndScaleFromADescriptionAndRefusesAnythingElse) {
  struct Case {
    const char* text;
    bool valid;
    Size size;
    double scale;
    int pixelWidth;
  } cases[] = {
      {"375x812@3", true, {375, 812}, 3, 1125},
      {"414x896@2", true, {414, 896}, 2, 828},
      {"390.5x844@3", true, {390.5, 844}, 3, 1172},
      {"375x812", false, {}, 0, 0},
      {"375@3x812", false, {}, 0, 0},
      {"0x812@3", false, {}, 0, 0},
      {"375x-1@3", false, {}, 0, 0},
      {"375x812@0", false, {}, 0, 0},
      {"20000x812@3", false, {}, 0, 0},
      {"375x812@3 ", false, {}, 0, 0},
      {"", false, {}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto screen = UIScreen::fromDescription(c.text);
    ASSERT_EQ(screen.has_value(), c.valid);
    if (!screen) continue;
    EXPECT_EQ(screen->bounds().size, c.size);
    EXPECT_EQ(screen->scale(), c.scale);
    EXPECT_EQ(screen->pixelWidth(), c.pixelWidth);
  }
}

}  // namespace
}  // namespace velmoradine::testing
