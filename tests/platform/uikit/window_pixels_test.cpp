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

namespace velmoradine::testing {
namespace {

TEST(WindowPixelsTest, DrawsALabelsImageAttachmentBeforeItsText) {
  UIWindow window(UIScreen({375, 812}, 3));
  auto controller = std::make_shared<UIViewController>();
  window.setRootViewController(controller);
  controller->view()->setBackgroundColor(Color::white());
  Bitmap red(42, 42);
  red.fill(Color::rgba(1, 0, 0));
  NSAttributedString text(NSTextAttachment{Image(std::move(red), 3), Rect(0, -2, 14, 14)});
  text.append(NSAttributedString("  Velmoradine", {Font("Sans-Bold", 14), Color::black()}));
  auto label = std::make_shared<UILabel>(Rect(100, 400, 175, 40));
  label->setAttributedText(text);
  controller->view()->addSubview(label);
  window.displayIfNeeded();
  const Bitmap& bitmap = window.bitmap();
  int redInside = 0, redOutside = 0, dark = 0;
  for (int y = 1200; y < 1320; ++y) {
    for (int x = 300; x < 825; ++x) {
      Rgb rgb = rgbAt(bitmap, x, y);
      if (rgb == Rgb{255, 0, 0}) (x < 342 ? redInside : redOutside) += 1;
      if (rgb.red < 100 && rgb.green < 100 && rgb.blue < 100 && x >= 342) ++dark;
    }
  }
  // 14 points square at the start; its top and bottom may fall between pixels.
  EXPECT_GE(redInside, 41 * 42) << "the attachment";
  EXPECT_LE(redInside, 42 * 42);
  EXPECT_EQ(redOutside, 0);
  EXPECT_GT(dark, 200) << "the text after it";
}

}  // namespace
}  // namespace velmoradine::testing

namespace velmoradine::testing {
namespace {

// A card as the live preview builds one: rounded, clipped and bordered, a
// subview filling it and a square drawn over that subview; every length
// times `k`.
std::shared_ptr<UIView> addCard(UIView& parent, Point center, double k) {
  auto card = std::make_shared<UIView>(Rect(0, 0, 200 * k, 300 * k));
  card->setCenter(center);
  card->setClipsToBounds(true);
  card->setBackgroundColor(Color::rgba(0, 0, 1));
  card->layer()->setCornerRadius(40 * k);
  card->layer()->setBorderColor(Color::black());
  card->layer()->setBorderWidth(10 * k);
  auto filling = std::make_shared<UIView>(Rect(30 * k, 30 * k, 140 * k, 240 * k));
  filling->setBackgroundColor(Color::rgba(0, 1, 0));
  card->addSubview(filling);
  auto square = Layer::create();
  square->setFrame({60 * k, 200 * k, 80 * k, 80 * k});
  square->setBackgroundColor(Color::rgba(1, 0, 0));
  card->layer()->addSublayer(square);
  parent.addSubview(card);
  return card;
}

TEST(WindowPixelsTest, AShrunkViewLooksLikeTheSameViewBuiltAtTheShrunkSizeAtEdgesAndMiddle) {
  UIWindow window(UIScreen({375, 812}, 3));
  auto controller = std::make_shared<UIViewController>();
  window.setRootViewController(controller);
  controller->view()->setBackgroundColor(Color::white());
  addCard(*controller->view(), {100, 200}, 1)->setTransform(AffineTransform::makeScale(0.45, 0.45));
  addCard(*controller->view(), {280, 200}, 0.45);
  window.displayIfNeeded();
  const Bitmap& bitmap = window.bitmap();
  // Points of the card from its top-left corner, in the card's own lengths.
  const struct {
    Point point;
    Rgb colour;
  } samples[] = {
      {{1, 1}, {255, 255, 255}},  // outside the rounded corner
      {{100, 4}, {0, 0, 0}},      // the border
      {{196, 150}, {0, 0, 0}},    // the border on the right
      {{100, 20}, {0, 0, 255}},   // the background
      {{100, 100}, {0, 255, 0}},  // the subview
      {{100, 240}, {255, 0, 0}},  // the square over it
      {{50, 240}, {0, 255, 0}},   // just left of the square
      {{199, 299}, {255, 255, 255}},
  };
  for (const auto& sample : samples) {
    SCOPED_TRACE(::testing::Message() << sample.point.x << "," << sample.point.y);
    for (double left : {100 - 100 * 0.45, 280 - 100 * 0.45}) {
      SCOPED_TRACE(left);
      Rgb pixel =
          rgbAt(bitmap, static_cast<int>(std::lround((left + sample.point.x * 0.45) * 3)),
                static_cast<int>(std::lround((200 - 150 * 0.45 + sample.point.y * 0.45) * 3)));
      EXPECT_NEAR(pixel.red, sample.colour.red, 24);
      EXPECT_NEAR(pixel.green, sample.colour.green, 24);
      EXPECT_NEAR(pixel.blue, sample.colour.blue, 24);
    }
  }
}

}  // namespace
}  // namespace velmoradine::testing
