#include "velmoradine/platform/graphics/renderer.hpp"

#include <gtest/gtest.h>

#include <numbers>

#include "pixel_expectations.hpp"

namespace velmoradine {
namespace {

using testing::blue;
using testing::green;
using testing::pixelIs;
using testing::red;

std::shared_ptr<Layer> box(Rect frame, std::optional<Color> color) {
  auto layer = Layer::create();
  layer->setFrame(frame);
  layer->setBackgroundColor(color);
  return layer;
}

std::shared_ptr<Layer> canvas(double width, double height) {
  return box(Rect(0, 0, width, height), std::nullopt);
}

// 20×10 pixels: the left half red, the right half blue.
Image halves() {
  Bitmap bitmap(20, 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) bitmap.row(y)[x] = premultipliedPixel(x < 10 ? red() : blue());
  }
  return Image(std::move(bitmap));
}

Image solid(int width, int height, Color color) {
  Bitmap bitmap(width, height);
  bitmap.fill(color);
  return Image(std::move(bitmap));
}

TEST(Renderer, BackgroundFillsTheFrameOnly) {
  auto root = canvas(40, 40);
  root->addSublayer(box(Rect(10, 10, 20, 10), red()));
  Bitmap out = LayerRenderer::render(*root, 40, 40);
  EXPECT_TRUE(pixelIs(out, 10, 10, red()));
  EXPECT_TRUE(pixelIs(out, 29, 19, red()));
  EXPECT_TRUE(pixelIs(out, 9, 10, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 15, 20, Color::clear()));
}

TEST(Renderer, TargetIsClearedToTheBackgroundOption) {
  auto root = canvas(10, 10);
  Bitmap out(10, 10);
  out.fill(red());
  RenderOptions options;
  options.background = green();
  LayerRenderer::render(*root, out, options);
  EXPECT_TRUE(pixelIs(out, 5, 5, green()));
}

TEST(Renderer, ScaleMapsPointsToPixels) {
  auto root = canvas(20, 20);
  root->addSublayer(box(Rect(5, 5, 5, 5), red()));
  RenderOptions options;
  options.scale = 2;
  Bitmap out = LayerRenderer::render(*root, 40, 40, options);
  EXPECT_TRUE(pixelIs(out, 10, 10, red()));
  EXPECT_TRUE(pixelIs(out, 19, 19, red()));
  EXPECT_TRUE(pixelIs(out, 21, 21, Color::clear()));
}

TEST(Renderer, RoundedCornerLeavesTheCornerTransparent) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(0, 0, 100, 100), red());
  layer->setCornerRadius(30);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 2, 2, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 97, 97, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 50, 1, red()));
  EXPECT_TRUE(pixelIs(out, 15, 15, red()));
}

TEST(Renderer, MaskedCornersRoundOnlyTheChosenCorners) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(0, 0, 100, 100), red());
  layer->setCornerRadius(30);
  layer->setMaskedCorners(CornerMaskSet{static_cast<std::uint32_t>(CornerMask::maxXMaxYCorner)});
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 1, 1, red()));
  EXPECT_TRUE(pixelIs(out, 98, 1, red()));
  EXPECT_TRUE(pixelIs(out, 1, 98, red()));
  EXPECT_TRUE(pixelIs(out, 98, 98, Color::clear()));
}

TEST(Renderer, ContinuousCornersBendInEarlierThanCircularOnes) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(0, 0, 100, 100), red());
  layer->setCornerRadius(20);
  root->addSublayer(layer);
  Bitmap circular = LayerRenderer::render(*root, 100, 100);
  layer->setCornerCurve(CornerCurve::continuous);
  Bitmap continuous = LayerRenderer::render(*root, 100, 100);
  // 20 points from the corner the circular edge is straight already; the
  // continuous one is still curving away from it.
  EXPECT_TRUE(pixelIs(circular, 20, 0, red()));
  EXPECT_LT(continuous.colorAt(20, 0).alpha, 0.8);
  EXPECT_TRUE(pixelIs(continuous, 35, 0, red()));
  // Their middles are about equally far in.
  EXPECT_TRUE(pixelIs(circular, 4, 4, Color::clear()));
  EXPECT_TRUE(pixelIs(continuous, 4, 4, Color::clear()));
  EXPECT_TRUE(pixelIs(continuous, 9, 9, red()));
}

TEST(Renderer, BorderIsDrawnInsideTheEdgeAboveSublayers) {
  auto root = canvas(60, 60);
  auto layer = box(Rect(10, 10, 40, 40), green());
  layer->setBorderWidth(4);
  layer->setBorderColor(blue());
  layer->addSublayer(box(Rect(0, 0, 40, 40), red()));
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 60, 60);
  EXPECT_TRUE(pixelIs(out, 10, 30, blue()));
  EXPECT_TRUE(pixelIs(out, 13, 30, blue()));
  EXPECT_TRUE(pixelIs(out, 49, 49, blue()));
  EXPECT_TRUE(pixelIs(out, 15, 30, red()));
  EXPECT_TRUE(pixelIs(out, 9, 30, Color::clear()));
}

TEST(Renderer, ShadowIsOffsetAndBlurred) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(20, 20, 40, 40), red());
  layer->setShadowOpacity(1);
  layer->setShadowOffset({20, 10});
  layer->setShadowRadius(0);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 70, 55, Color::black()));
  EXPECT_TRUE(pixelIs(out, 30, 30, red()));  // the layer covers its own shadow
  EXPECT_TRUE(pixelIs(out, 70, 25, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 15, 55, Color::clear()));

  layer->setShadowRadius(8);
  Bitmap blurred = LayerRenderer::render(*root, 100, 100);
  double edge = blurred.colorAt(79, 50).alpha;
  EXPECT_GT(edge, 0.2);
  EXPECT_LT(edge, 0.8);
  EXPECT_GT(blurred.colorAt(83, 50).alpha, 0.0);
  EXPECT_TRUE(pixelIs(blurred, 70, 50, Color::black(), 0.05));
}

TEST(Renderer, AbsurdShadowRadiusStaysBounded) {
  auto root = canvas(50, 50);
  auto layer = box(Rect(10, 10, 20, 20), red());
  layer->setShadowOpacity(1);
  layer->setShadowRadius(1e300);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 50, 50);
  EXPECT_TRUE(pixelIs(out, 20, 20, red()));
  EXPECT_LT(out.colorAt(2, 2).alpha, 0.1);
}

TEST(Renderer, ShadowPathShapesTheShadow) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(10, 10, 20, 20), red());
  layer->setShadowOpacity(0.5);
  layer->setShadowRadius(0);
  layer->setShadowOffset({0, 0});
  layer->setShadowColor(blue());
  layer->setShadowPath(Path::rect(Rect(40, 40, 30, 30)));
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 65, 65, blue().withAlpha(0.5)));
  EXPECT_TRUE(pixelIs(out, 20, 20, red()));
  EXPECT_TRUE(pixelIs(out, 35, 20, Color::clear()));
}

TEST(Renderer, MasksToBoundsHidesTheShadowOutside) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(20, 20, 40, 40), std::nullopt);
  layer->setShadowOpacity(1);
  layer->setShadowOffset({30, 0});
  layer->setShadowRadius(0);
  layer->addSublayer(box(Rect(0, 0, 40, 40), red()));
  layer->setMasksToBounds(true);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 75, 40, Color::clear()));
}

TEST(Renderer, GroupOpacityBlendsSublayersAsOne) {
  auto root = canvas(60, 20);
  auto group = box(Rect(0, 0, 60, 20), std::nullopt);
  group->addSublayer(box(Rect(0, 0, 40, 20), red()));
  group->addSublayer(box(Rect(20, 0, 40, 20), red()));
  group->setOpacity(0.5);
  root->addSublayer(group);
  Bitmap out = LayerRenderer::render(*root, 60, 20);
  EXPECT_TRUE(pixelIs(out, 10, 10, red().withAlpha(0.5)));
  EXPECT_TRUE(pixelIs(out, 30, 10, red().withAlpha(0.5)));

  group->setAllowsGroupOpacity(false);
  Bitmap separate = LayerRenderer::render(*root, 60, 20);
  EXPECT_TRUE(pixelIs(separate, 10, 10, red().withAlpha(0.5)));
  EXPECT_TRUE(pixelIs(separate, 30, 10, red().withAlpha(0.75)));
}

TEST(Renderer, HiddenAndTransparentLayersDrawNothing) {
  auto root = canvas(20, 20);
  auto hidden = box(Rect(0, 0, 10, 20), red());
  hidden->setHidden(true);
  auto clear = box(Rect(10, 0, 10, 20), red());
  clear->setOpacity(0);
  root->addSublayer(hidden);
  root->addSublayer(clear);
  Bitmap out = LayerRenderer::render(*root, 20, 20);
  EXPECT_TRUE(pixelIs(out, 5, 5, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 15, 5, Color::clear()));
}

TEST(Renderer, MasksToBoundsClipsSublayersWithRoundedCorners) {
  auto root = canvas(100, 100);
  auto clip = box(Rect(20, 20, 60, 60), std::nullopt);
  clip->setMasksToBounds(true);
  clip->setCornerRadius(20);
  clip->addSublayer(box(Rect(-20, -20, 100, 100), red()));
  root->addSublayer(clip);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 10, 50, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 22, 22, Color::clear()));
  EXPECT_TRUE(pixelIs(out, 50, 50, red()));
  EXPECT_TRUE(pixelIs(out, 21, 50, red()));
}

TEST(Renderer, MaskLayerCutsOutByAlpha) {
  auto root = canvas(40, 40);
  auto layer = box(Rect(0, 0, 40, 40), red());
  auto mask = box(Rect(0, 0, 20, 40), Color::black());
  mask->addSublayer(box(Rect(20, 0, 20, 20), Color::rgba(0, 0, 0, 0.5)));
  layer->setMask(mask);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 40, 40);
  EXPECT_TRUE(pixelIs(out, 10, 30, red()));
  EXPECT_TRUE(pixelIs(out, 30, 10, red().withAlpha(0.5)));
  EXPECT_TRUE(pixelIs(out, 30, 30, Color::clear()));
}

TEST(Renderer, MaskAndGroupOpacityMultiply) {
  auto root = canvas(40, 40);
  auto layer = box(Rect(0, 0, 40, 40), red());
  layer->setMask(box(Rect(0, 0, 20, 40), Color::black()));
  layer->setOpacity(0.5);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 40, 40);
  EXPECT_TRUE(pixelIs(out, 10, 10, red().withAlpha(0.5)));
  EXPECT_TRUE(pixelIs(out, 30, 10, Color::clear()));
}

struct GravityCase {
  ContentsGravity gravity;
  Point inside;
  Point outside;
};

TEST(Renderer, ContentsGravityPlacesTheImage) {
  const GravityCase cases[] = {
      {ContentsGravity::topLeft, {5, 5}, {50, 50}},
      {ContentsGravity::topRight, {95, 5}, {5, 5}},
      {ContentsGravity::bottomLeft, {5, 95}, {5, 5}},
      {ContentsGravity::bottomRight, {95, 95}, {5, 95}},
      {ContentsGravity::center, {50, 50}, {40, 40}},
      {ContentsGravity::top, {50, 5}, {50, 50}},
      {ContentsGravity::bottom, {50, 95}, {50, 50}},
      {ContentsGravity::left, {5, 50}, {5, 5}},
      {ContentsGravity::right, {95, 50}, {95, 5}},
      {ContentsGravity::resize, {2, 2}, {-1, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(name(c.gravity)));
    auto root = canvas(100, 100);
    auto layer = box(Rect(0, 0, 100, 100), std::nullopt);
    layer->setContents(solid(10, 10, red()));
    layer->setContentsGravity(c.gravity);
    root->addSublayer(layer);
    Bitmap out = LayerRenderer::render(*root, 100, 100);
    EXPECT_TRUE(pixelIs(out, static_cast<int>(c.inside.x), static_cast<int>(c.inside.y), red()));
    if (c.outside.x >= 0) {
      EXPECT_TRUE(pixelIs(out, static_cast<int>(c.outside.x), static_cast<int>(c.outside.y),
                          Color::clear()));
    }
  }
}

TEST(Renderer, AspectGravitiesFitAndFill) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(0, 0, 100, 100), std::nullopt);
  layer->setContents(halves());  // 2:1
  layer->setContentsGravity(ContentsGravity::resizeAspect);
  root->addSublayer(layer);
  Bitmap fit = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(fit, 10, 50, red()));
  EXPECT_TRUE(pixelIs(fit, 90, 50, blue()));
  EXPECT_TRUE(pixelIs(fit, 50, 10, Color::clear()));
  EXPECT_TRUE(pixelIs(fit, 50, 90, Color::clear()));

  layer->setContentsGravity(ContentsGravity::resizeAspectFill);
  layer->setMasksToBounds(true);
  Bitmap fill = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(fill, 40, 5, red()));
  EXPECT_TRUE(pixelIs(fill, 60, 95, blue()));
  EXPECT_TRUE(pixelIs(fill, 1, 50, red()));
}

TEST(Renderer, ContentsScaleSetsTheNaturalSize) {
  auto root = canvas(100, 100);
  auto layer = box(Rect(0, 0, 100, 100), std::nullopt);
  layer->setContents(solid(20, 20, red()));
  layer->setContentsGravity(ContentsGravity::topLeft);
  layer->setContentsScale(2);
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 8, 8, red()));
  EXPECT_TRUE(pixelIs(out, 12, 12, Color::clear()));
}

TEST(Renderer, ContentsRectShowsPartOfTheImage) {
  auto root = canvas(40, 20);
  auto layer = box(Rect(0, 0, 40, 20), std::nullopt);
  layer->setContents(halves());
  layer->setContentsRect(Rect(0.5, 0, 0.5, 1));
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 40, 20);
  EXPECT_TRUE(pixelIs(out, 2, 10, blue()));
  EXPECT_TRUE(pixelIs(out, 38, 10, blue()));
}

TEST(Renderer, ContentsCenterKeepsTheEdgesAtNaturalSize) {
  // A 30×30 image: a 10-pixel blue frame around a red middle.
  Bitmap bitmap(30, 30);
  bitmap.fill(blue());
  for (int y = 10; y < 20; ++y) {
    for (int x = 10; x < 20; ++x) bitmap.row(y)[x] = premultipliedPixel(red());
  }
  auto root = canvas(120, 120);
  auto layer = box(Rect(0, 0, 120, 120), std::nullopt);
  layer->setContents(Image(std::move(bitmap)));
  layer->setContentsCenter(Rect(1.0 / 3, 1.0 / 3, 1.0 / 3, 1.0 / 3));
  root->addSublayer(layer);
  Bitmap out = LayerRenderer::render(*root, 120, 120);
  EXPECT_TRUE(pixelIs(out, 5, 60, blue()));
  EXPECT_TRUE(pixelIs(out, 20, 60, red()));
  EXPECT_TRUE(pixelIs(out, 99, 60, red()));
  EXPECT_TRUE(pixelIs(out, 115, 60, blue()));
}

TEST(Renderer, ZPositionOrdersSiblings) {
  auto root = canvas(20, 20);
  auto top = box(Rect(0, 0, 20, 20), red());
  top->setZPosition(1);
  root->addSublayer(top);
  root->addSublayer(box(Rect(0, 0, 20, 20), blue()));
  Bitmap out = LayerRenderer::render(*root, 20, 20);
  EXPECT_TRUE(pixelIs(out, 10, 10, red()));
}

TEST(Renderer, TransformTurnsAboutTheAnchorPoint) {
  auto root = canvas(100, 100);
  auto bar = box(Rect(10, 45, 80, 10), red());
  bar->setTransform(Transform3D::makeRotation(std::numbers::pi / 2, 0, 0, 1));
  root->addSublayer(bar);
  Bitmap out = LayerRenderer::render(*root, 100, 100);
  EXPECT_TRUE(pixelIs(out, 50, 15, red()));
  EXPECT_TRUE(pixelIs(out, 50, 85, red()));
  EXPECT_TRUE(pixelIs(out, 15, 50, Color::clear()));
}

TEST(Renderer, SublayerTransformMovesSublayers) {
  auto root = canvas(40, 40);
  auto parent = box(Rect(0, 0, 40, 40), std::nullopt);
  parent->setSublayerTransform(Transform3D::makeTranslation(20, 0, 0));
  parent->addSublayer(box(Rect(0, 0, 10, 10), red()));
  root->addSublayer(parent);
  Bitmap out = LayerRenderer::render(*root, 40, 40);
  EXPECT_TRUE(pixelIs(out, 25, 5, red()));
  EXPECT_TRUE(pixelIs(out, 5, 5, Color::clear()));
}

TEST(Renderer, BottomLeftOriginWithFlippedRootLaysOutFromTheTop) {
  auto root = canvas(40, 40);
  root->addSublayer(box(Rect(0, 0, 10, 10), red()));
  RenderOptions upwards;
  upwards.origin = RenderOrigin::bottomLeft;
  Bitmap upward = LayerRenderer::render(*root, 40, 40, upwards);
  EXPECT_TRUE(pixelIs(upward, 5, 35, red()));
  EXPECT_TRUE(pixelIs(upward, 5, 5, Color::clear()));

  root->setGeometryFlipped(true);
  Bitmap flipped = LayerRenderer::render(*root, 40, 40, upwards);
  EXPECT_TRUE(pixelIs(flipped, 5, 5, red()));
}

TEST(Renderer, ImagesStayUprightWhateverTheOrigin) {
  Bitmap bitmap(10, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 10; ++x) bitmap.row(y)[x] = premultipliedPixel(y < 10 ? red() : blue());
  }
  Image image(std::move(bitmap));
  for (RenderOrigin origin : {RenderOrigin::topLeft, RenderOrigin::bottomLeft}) {
    auto root = canvas(10, 20);
    root->setContents(image);
    RenderOptions options;
    options.origin = origin;
    Bitmap out = LayerRenderer::render(*root, 10, 20, options);
    EXPECT_TRUE(pixelIs(out, 5, 2, red()));
    EXPECT_TRUE(pixelIs(out, 5, 18, blue()));
  }
}

TEST(Renderer, SingleSidedLayerFacingAwayIsNotDrawn) {
  auto root = canvas(20, 20);
  auto layer = box(Rect(0, 0, 20, 20), red());
  layer->setTransform(Transform3D::makeRotation(std::numbers::pi, 0, 1, 0));
  root->addSublayer(layer);
  EXPECT_TRUE(pixelIs(LayerRenderer::render(*root, 20, 20), 10, 10, red()));
  layer->setDoubleSided(false);
  EXPECT_TRUE(pixelIs(LayerRenderer::render(*root, 20, 20), 10, 10, Color::clear()));
}

TEST(Renderer, DrawsIntoACallersBufferWithPadding) {
  std::vector<std::uint8_t> buffer(12 * 4 * 10, 0xAB);
  auto target = Bitmap::wrap(buffer.data(), 10, 10, 48);
  ASSERT_TRUE(target);
  auto root = box(Rect(0, 0, 10, 10), green());
  LayerRenderer::render(*root, *target);
  EXPECT_TRUE(pixelIs(*target, 9, 9, green()));
  EXPECT_EQ(buffer[40], 0xAB);  // the row padding is not written
  EXPECT_EQ(buffer[47], 0xAB);
}

TEST(Renderer, NearestMagnificationKeepsHardEdges) {
  auto root = canvas(40, 20);
  root->setContents(halves());
  root->setMagnificationFilter(ContentsFilter::nearest);
  Bitmap out = LayerRenderer::render(*root, 40, 20);
  EXPECT_TRUE(pixelIs(out, 19, 10, red(), 0.001));
  EXPECT_TRUE(pixelIs(out, 20, 10, blue(), 0.001));
}

}  // namespace
}  // namespace velmoradine
