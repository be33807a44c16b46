#include <gtest/gtest.h>

#include "pixel_expectations.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace velmoradine {
namespace {

using testing::pixelIs;

// The smallest box holding every pixel with some alpha; empty when none.
struct Ink {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
  bool empty() const { return x1 < 0; }
};

Ink inkOf(const Bitmap& bitmap, int fromX = 0, int toX = INT_MAX, int fromY = 0,
          int toY = INT_MAX) {
  Ink ink;
  for (int y = std::max(0, fromY); y < std::min(bitmap.height(), toY); ++y) {
    for (int x = std::max(0, fromX); x < std::min(bitmap.width(), toX); ++x) {
      if (bitmap.colorAt(x, y).alpha > 0.25) {
        ink.x0 = std::min(ink.x0, x);
        ink.y0 = std::min(ink.y0, y);
        ink.x1 = std::max(ink.x1, x);
        ink.y1 = std::max(ink.y1, y);
      }
    }
  }
  return ink;
}

std::shared_ptr<TextLayer> textLayer(Rect frame, std::string text, double fontSize = 20) {
  auto layer = TextLayer::create();
  layer->setFrame(frame);
  layer->setString(TextString(std::move(text)));
  layer->setFontSize(fontSize);
  layer->setFont(Font("DejaVu Sans"));
  return layer;
}

Bitmap draw(const std::shared_ptr<Layer>& layer, int width, int height) {
  auto root = Layer::create();
  root->setFrame(Rect(0, 0, width, height));
  root->addSublayer(layer);
  return LayerRenderer::render(*root, width, height);
}

TEST(TextRendering, DrawsInsideItsBoundsInTheForegroundColour) {
  auto layer = textLayer(Rect(20, 10, 150, 40), "Hello");
  layer->setForegroundColor(testing::red());
  Bitmap out = draw(layer, 200, 80);
  Ink ink = inkOf(out);
  ASSERT_FALSE(ink.empty());
  EXPECT_GE(ink.x0, 20);
  EXPECT_GE(ink.y0, 10);
  EXPECT_LT(ink.x1, 170);
  EXPECT_LT(ink.y1, 50);
  EXPECT_LT(ink.x0, 30);  // natural alignment starts at the left
  // Some fully covered pixel has the foreground colour.
  bool found = false;
  for (int y = ink.y0; y <= ink.y1 && !found; ++y) {
    for (int x = ink.x0; x <= ink.x1 && !found; ++x)
      found = pixelIs(out, x, y, testing::red(), 0.02);
  }
  EXPECT_TRUE(found);
}

TEST(TextRendering, OverflowIsClippedToTheBounds) {
  auto layer = textLayer(Rect(10, 10, 60, 30), "A rather long line of text", 24);
  Bitmap out = draw(layer, 200, 60);
  Ink ink = inkOf(out);
  ASSERT_FALSE(ink.empty());
  EXPECT_LE(ink.x1, 69);
  EXPECT_GE(ink.x1, 65);  // the cut text runs to the edge
}

TEST(TextRendering, AlignmentModesMoveTheLine) {
  auto left = inkOf(draw(textLayer(Rect(0, 0, 300, 40), "Mid"), 300, 40));
  auto centredLayer = textLayer(Rect(0, 0, 300, 40), "Mid");
  centredLayer->setAlignmentMode(TextLayerAlignmentMode::center);
  auto centred = inkOf(draw(centredLayer, 300, 40));
  auto rightLayer = textLayer(Rect(0, 0, 300, 40), "Mid");
  rightLayer->setAlignmentMode(TextLayerAlignmentMode::right);
  auto right = inkOf(draw(rightLayer, 300, 40));
  ASSERT_FALSE(left.empty() || centred.empty() || right.empty());
  EXPECT_LT(left.x0, 10);
  EXPECT_NEAR((centred.x0 + centred.x1) / 2.0, 150, 6);
  EXPECT_GT(right.x1, 290);
}

TEST(TextRendering, TruncationAtTheEndEndsInAnEllipsis) {
  std::string text(40, 'M');
  auto clipped = textLayer(Rect(0, 0, 150, 40), text, 24);
  auto truncated = textLayer(Rect(0, 0, 150, 40), text, 24);
  truncated->setTruncationMode(TextLayerTruncationMode::end);
  Bitmap plain = draw(clipped, 150, 40);
  Bitmap cut = draw(truncated, 150, 40);
  Ink all = inkOf(cut);
  ASSERT_FALSE(all.empty());
  int mid = (all.y0 + all.y1) / 2;
  // The last glyph is the ellipsis: dots on the baseline, nothing in the
  // upper half where an M would have ink.
  Ink lastUpper = inkOf(cut, all.x1 - 6, all.x1 + 1, all.y0, mid - 2);
  Ink lastLower = inkOf(cut, all.x1 - 6, all.x1 + 1, mid + 2, all.y1 + 1);
  EXPECT_TRUE(lastUpper.empty());
  EXPECT_FALSE(lastLower.empty());
  // Untruncated, an M is cut at the edge and has ink at the top.
  EXPECT_FALSE(inkOf(plain, 140, 150, all.y0, mid - 2).empty());
}

TEST(TextRendering, TruncationAtTheStartPutsTheEllipsisFirst) {
  auto layer = textLayer(Rect(0, 0, 150, 40), std::string(40, 'M'), 24);
  layer->setTruncationMode(TextLayerTruncationMode::start);
  Bitmap out = draw(layer, 150, 40);
  Ink all = inkOf(out);
  ASSERT_FALSE(all.empty());
  int mid = (all.y0 + all.y1) / 2;
  EXPECT_TRUE(inkOf(out, all.x0, all.x0 + 6, all.y0, mid - 2).empty());
  EXPECT_FALSE(inkOf(out, all.x0, all.x0 + 6, mid + 2, all.y1 + 1).empty());
}

TEST(TextRendering, WrappingBreaksLinesWithinTheWidth) {
  std::string text = "one two three four five six seven";
  auto single = textLayer(Rect(0, 0, 120, 200), text);
  auto wrapped = textLayer(Rect(0, 0, 120, 200), text);
  wrapped->setWrapped(true);
  Ink one = inkOf(draw(single, 120, 200));
  Ink many = inkOf(draw(wrapped, 120, 200));
  ASSERT_FALSE(one.empty() || many.empty());
  EXPECT_GT(many.y1 - many.y0, 2 * (one.y1 - one.y0));
  EXPECT_LT(many.x1, 120);
}

TEST(TextRendering, AttributedRunsTakeTheirOwnColour) {
  AttributedString text("AAAABBBB");
  TextAttributes blueText;
  blueText.foregroundColor = testing::blue();
  text.addAttributes(4, 4, blueText);
  auto layer = TextLayer::create();
  layer->setFrame(Rect(0, 0, 200, 40));
  layer->setString(TextString(text));
  layer->setFontSize(24);
  layer->setForegroundColor(testing::red());
  Bitmap out = draw(layer, 200, 40);
  Ink ink = inkOf(out);
  ASSERT_FALSE(ink.empty());
  bool redLeft = false, blueRight = false;
  int split = (ink.x0 + ink.x1) / 2;
  for (int y = ink.y0; y <= ink.y1; ++y) {
    for (int x = ink.x0; x <= ink.x1; ++x) {
      if (x < split - 4 && pixelIs(out, x, y, testing::red(), 0.05)) redLeft = true;
      if (x > split + 4 && pixelIs(out, x, y, testing::blue(), 0.05)) blueRight = true;
    }
  }
  EXPECT_TRUE(redLeft);
  EXPECT_TRUE(blueRight);
}

TEST(TextRendering, TextShadowFallsAtTheOffset) {
  auto layer = textLayer(Rect(0, 0, 200, 40), "IIII", 30);
  layer->setForegroundColor(Color::white());
  auto plain = inkOf(draw(layer, 200, 80));
  layer->setShadowOpacity(1);
  layer->setShadowRadius(0);
  layer->setShadowOffset({0, 20});
  Bitmap out = draw(layer, 200, 80);
  Ink shadowed = inkOf(out);
  EXPECT_EQ(shadowed.y1, plain.y1 + 20);
  EXPECT_TRUE(pixelIs(out, plain.x0 + 1, plain.y1 + 19, Color::black(), 0.1));
}

TEST(Fonts, UnknownNamesFallBackToTheSansFace) {
  std::string sans = Font("Sans").resolvedFamilyName();
  EXPECT_FALSE(sans.empty());
  EXPECT_EQ(Font("No Such Font At All").resolvedFamilyName(), sans);
  EXPECT_EQ(Font("DejaVu Serif-Bold").resolvedFamilyName(), "DejaVu Serif");
  EXPECT_EQ(Font::systemFont(12).resolvedFamilyName(), sans);
}

}  // namespace
}  // namespace velmoradine
