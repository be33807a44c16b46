#include <gtest/gtest.h>

#include <cstdlib>

#include "pixel_expectations.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace velmoradine {
namespace {

std::shared_ptr<Layer> box(Rect frame, std::optional<Color> color) {
  auto layer = Layer::create();
  layer->setFrame(frame);
  layer->setBackgroundColor(color);
  return layer;
}

Image frameImage(int index) {
  Bitmap bitmap(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      bitmap.row(y)[x] =
          premultipliedPixel(Color::rgba(((x + index * 7) % 64) / 63.0, (y % 32) / 31.0, 0.3));
    }
  }
  bitmap.setOpaque(true);
  return Image(std::move(bitmap));
}

// The largest difference of any byte between the two bitmaps.
int largestDifference(const Bitmap& a, const Bitmap& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* ra = reinterpret_cast<const std::uint8_t*>(a.row(y));
    const auto* rb = reinterpret_cast<const std::uint8_t*>(b.row(y));
    for (int i = 0; i < a.width() * 4; ++i) largest = std::max(largest, std::abs(ra[i] - rb[i]));
  }
  return largest;
}

struct Scene {
  std::shared_ptr<Layer> root = box(Rect(0, 0, 64, 64), std::nullopt);
  std::shared_ptr<Layer> video = box(Rect(0, 0, 64, 64), std::nullopt);
  std::shared_ptr<Layer> card = box(Rect(8, 8, 30, 20), Color::rgba(0, 0, 1, 0.6));
  std::shared_ptr<TextLayer> title = TextLayer::create();

  Scene() {
    root->setBackgroundColor(Color::white());
    root->setBorderWidth(2);
    root->setBorderColor(Color::rgba(1, 0, 0));
    root->addSublayer(box(Rect(0, 40, 64, 24), testing::green()));  // below the video, hidden by it
    root->addSublayer(video);
    card->setCornerRadius(6);
    card->setShadowOpacity(0.8);
    card->setShadowRadius(2);
    card->setShadowOffset({2, 3});
    root->addSublayer(card);
    title->setFrame(Rect(4, 40, 56, 20));
    title->setString(TextString("Hi there"));
    title->setFontSize(12);
    root->addSublayer(title);
  }
};

TEST(PreRenderedLayerTree, FramesMatchAFullRedraw) {
  Scene scene;
  PreRenderedLayerTree tree(scene.root, {scene.video}, 64, 64);
  for (int i = 0; i < 3; ++i) {
    scene.video->setContents(frameImage(i));
    auto fast = tree.render();
    ASSERT_TRUE(fast);
    Bitmap full = LayerRenderer::render(*scene.root, 64, 64);
    EXPECT_LE(largestDifference(*fast, full), 2) << "frame " << i;
  }
}

TEST(PreRenderedLayerTree, ChangesToChangingLayersShowAndOthersWaitForInvalidate) {
  Scene scene;
  scene.video->setContents(frameImage(0));
  PreRenderedLayerTree tree(scene.root, {scene.video}, 64, 64);
  ASSERT_TRUE(tree.render());
  scene.video->setHidden(true);
  scene.card->setBackgroundColor(testing::red());
  auto stale = tree.render();
  ASSERT_TRUE(stale);
  EXPECT_TRUE(testing::pixelIs(*stale, 61, 45, testing::green()));  // the video is gone
  EXPECT_TRUE(testing::pixelIs(*stale, 20, 15, Color::rgba(0, 0, 1, 1), 0.5));
  tree.invalidate();
  auto fresh = tree.render();
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(testing::pixelIs(*fresh, 20, 15, testing::red()));
}

TEST(PreRenderedLayerTree, ChangingLayerInsideAGroupIsRedrawnWithIt) {
  Scene scene;
  auto group = box(Rect(0, 0, 64, 64), std::nullopt);
  group->setOpacity(0.5);
  scene.video->removeFromSuperlayer();
  group->addSublayer(scene.video);
  group->addSublayer(box(Rect(30, 30, 20, 20), testing::blue()));
  scene.root->insertSublayer(group, 1);
  PreRenderedLayerTree tree(scene.root, {scene.video}, 64, 64);
  for (int i = 0; i < 2; ++i) {
    scene.video->setContents(frameImage(i));
    auto fast = tree.render();
    ASSERT_TRUE(fast);
    EXPECT_LE(largestDifference(*fast, LayerRenderer::render(*scene.root, 64, 64)), 2);
  }
}

TEST(PreRenderedLayerTree, ChangingZPositionReordersTheCache) {
  Scene scene;
  scene.video->setContents(frameImage(1));
  PreRenderedLayerTree tree(scene.root, {scene.video}, 64, 64);
  ASSERT_TRUE(tree.render());
  scene.video->setZPosition(10);
  auto fast = tree.render();
  ASSERT_TRUE(fast);
  EXPECT_LE(largestDifference(*fast, LayerRenderer::render(*scene.root, 64, 64)), 2);
}

TEST(PreRenderedLayerTree, BottomLeftOriginAndScaleMatchAFullRedraw) {
  Scene scene;
  scene.root->setGeometryFlipped(true);
  RenderOptions options;
  options.scale = 2;
  options.origin = RenderOrigin::bottomLeft;
  options.background = Color::black();
  PreRenderedLayerTree tree(scene.root, {scene.video, scene.title}, 128, 128, options);
  scene.video->setContents(frameImage(2));
  scene.title->setString(TextString("Changed"));
  auto fast = tree.render();
  ASSERT_TRUE(fast);
  EXPECT_LE(largestDifference(*fast, LayerRenderer::render(*scene.root, 128, 128, options)), 2);
}

TEST(PreRenderedLayerTree, WithoutChangingLayersEveryFrameIsTheCache) {
  Scene scene;
  PreRenderedLayerTree tree(scene.root, {}, 64, 64);
  auto first = tree.render();
  ASSERT_TRUE(first);
  EXPECT_LE(largestDifference(*first, LayerRenderer::render(*scene.root, 64, 64)), 2);
}

TEST(PreRenderedLayerTree, RejectsATargetOfAnotherSize) {
  Scene scene;
  PreRenderedLayerTree tree(scene.root, {scene.video}, 64, 64);
  Bitmap wrong(32, 64);
  EXPECT_FALSE(tree.render(wrong));
}

}  // namespace
}  // namespace velmoradine
