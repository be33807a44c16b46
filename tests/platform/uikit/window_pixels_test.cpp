#include <gtest/gtest.h>

#include <cmath>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine::testing {
namespace {

struct Rgb {
  int red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

Rgb rgbAt(const Bitmap& bitmap, int x, int y) {
  Color c = bitmap.colorAt(x, y);
  return {static_cast<int>(std::lround(c.red * 255)), static_cast<int>(std::lround(c.green * 255)),
          static_cast<int>(std::lround(c.blue * 255))};
}

// Colours itself by the appearance it is shown in, as a screen of the kit
// does, with a label in the middle.
class StyledController : public UIViewController {
 public:
  void viewDidLoad() override {
    bool dark = traitCollection().userInterfaceStyle == UIUserInterfaceStyle::dark;
    view()->setBackgroundColor(dark ? Color::rgba(15 / 255.0, 15 / 255.0, 15 / 255.0)
                                    : Color::rgba(247 / 255.0, 246 / 255.0, 1));
    label = std::make_shared<UILabel>(Rect(100, 400, 175, 40));
    label->setText("Velmoradine");
    label->setTextColor(dark ? Color::white() : Color::black());
    label->setTextAlignment(NSTextAlignment::center);
    view()->addSubview(label);
  }
  std::shared_ptr<UILabel> label;
};

TEST(WindowPixelsTest, DrawsTheBackgroundEverywhereAndTheLabelsTextInsideItsFrame) {
  struct Case {
    const char* name;
    UIUserInterfaceStyle style;
    Rgb background;
  } cases[] = {
      {"light", UIUserInterfaceStyle::light, {247, 246, 255}},
      {"dark", UIUserInterfaceStyle::dark, {15, 15, 15}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UIWindow window(UIScreen({375, 812}, 3));
    window.setOverrideUserInterfaceStyle(c.style);
    auto controller = std::make_shared<StyledController>();
    window.setRootViewController(controller);
    window.displayIfNeeded();
    const Bitmap& bitmap = window.bitmap();
    ASSERT_EQ(bitmap.width(), 1125);
    ASSERT_EQ(bitmap.height(), 2436);
    for (auto [x, y] : {std::pair{562, 1218}, {0, 0}, {1124, 0}, {0, 2435}, {1124, 2435}}) {
      EXPECT_EQ(rgbAt(bitmap, x, y), c.background) << x << "," << y;
    }
    int inside = 0, outside = 0;
    for (int y = 1150; y < 1300; ++y) {
      for (int x = 250; x < 875; ++x) {
        bool inFrame = x >= 300 && x < 825 && y >= 1200 && y < 1320;
        bool differs = !(rgbAt(bitmap, x, y) == c.background);
        (inFrame ? inside : outside) += differs ? 1 : 0;
      }
    }
    EXPECT_GT(inside, 500) << "the text is drawn";
    EXPECT_EQ(outside, 0) << "and nowhere else";
  }
}

}  // namespace
}  // namespace velmoradine::testing
