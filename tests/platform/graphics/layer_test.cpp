#include "velmoradine/platform/graphics/layer.hpp"

#include <gtest/gtest.h>

#include <numbers>

namespace velmoradine {
namespace {

void expectRectNear(const Rect& actual, const Rect& expected) {
  EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
  EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
  EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
  EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

TEST(LayerGeometry, FrameFollowsBoundsPositionAndAnchor) {
  auto layer = Layer::create();
  layer->setBounds(Rect(0, 0, 100, 50));
  layer->setPosition({200, 100});
  expectRectNear(layer->frame(), Rect(150, 75, 100, 50));
  layer->setAnchorPoint({0, 0});
  expectRectNear(layer->frame(), Rect(200, 100, 100, 50));
}

TEST(LayerGeometry, SettingFrameSetsBoundsSizeAndPosition) {
  auto layer = Layer::create();
  layer->setBounds(Rect(5, 5, 1, 1));
  layer->setFrame(Rect(10, 20, 30, 40));
  EXPECT_EQ(layer->bounds(), Rect(5, 5, 30, 40));  // the origin is kept
  EXPECT_EQ(layer->position(), (Point{25, 40}));
  layer->setAnchorPoint({1, 1});
  layer->setFrame(Rect(10, 20, 30, 40));
  EXPECT_EQ(layer->position(), (Point{40, 60}));
}

TEST(LayerGeometry, NegativeFrameIsStandardized) {
  auto layer = Layer::create();
  layer->setFrame(Rect(10, 10, -10, -20));
  expectRectNear(layer->frame(), Rect(0, -10, 10, 20));
}

TEST(LayerGeometry, FrameUnderScaleTransform) {
  auto layer = Layer::create();
  layer->setFrame(Rect(0, 0, 100, 100));
  layer->setTransform(Transform3D::makeScale(2, 0.5, 1));
  // Scaled about the anchor point (the centre).
  expectRectNear(layer->frame(), Rect(-50, 25, 200, 50));
  layer->setFrame(Rect(0, 0, 100, 100));
  EXPECT_EQ(layer->bounds().size, (Size{50, 200}));
  expectRectNear(layer->frame(), Rect(0, 0, 100, 100));
}

TEST(LayerGeometry, FrameUnderRotationIsTheBoundingBox) {
  auto layer = Layer::create();
  layer->setFrame(Rect(0, 0, 100, 40));
  layer->setTransform(Transform3D::makeRotation(std::numbers::pi / 2, 0, 0, 1));
  expectRectNear(layer->frame(), Rect(30, -30, 40, 100));
  layer->setFrame(Rect(0, 0, 20, 60));
  EXPECT_NEAR(layer->bounds().size.width, 60, 1e-9);
  EXPECT_NEAR(layer->bounds().size.height, 20, 1e-9);
  expectRectNear(layer->frame(), Rect(0, 0, 20, 60));
}

TEST(LayerGeometry, FrameTwiceKeepsTheSecond) {
  auto layer = Layer::create();
  layer->setFrame(Rect(1, 2, 3, 4));
  layer->setFrame(Rect(5, 6, 7, 8));
  expectRectNear(layer->frame(), Rect(5, 6, 7, 8));
}

TEST(LayerGeometry, TranslationTransformMovesFrame) {
  auto layer = Layer::create();
  layer->setFrame(Rect(0, 0, 10, 10));
  layer->setAffineTransform(AffineTransform::makeTranslation(5, 7));
  expectRectNear(layer->frame(), Rect(5, 7, 10, 10));
  layer->setFrame(Rect(0, 0, 10, 10));
  EXPECT_EQ(layer->position(), (Point{0, -2}));
}

TEST(LayerTree, SublayersKnowTheirSuperlayer) {
  auto parent = Layer::create();
  auto child = Layer::create();
  EXPECT_TRUE(parent->addSublayer(child));
  EXPECT_EQ(child->superlayer(), parent);
  auto other = Layer::create();
  other->addSublayer(child);
  EXPECT_TRUE(parent->sublayers().empty());
  EXPECT_EQ(child->superlayer(), other);
  child->removeFromSuperlayer();
  EXPECT_TRUE(other->sublayers().empty());
  EXPECT_EQ(child->superlayer(), nullptr);
}

TEST(LayerTree, SetSublayersReplacesTheList) {
  auto parent = Layer::create();
  auto a = Layer::create(), b = Layer::create(), c = Layer::create();
  parent->setSublayers({a, b});
  parent->setSublayers({c, b, c});
  ASSERT_EQ(parent->sublayers().size(), 2u);
  EXPECT_EQ(parent->sublayers()[0], c);
  EXPECT_EQ(a->superlayer(), nullptr);
  EXPECT_EQ(b->superlayer(), parent);
}

TEST(LayerTree, CyclesAreRefused) {
  auto root = Layer::create();
  auto child = Layer::create();
  root->addSublayer(child);
  EXPECT_FALSE(child->addSublayer(root));
  EXPECT_FALSE(child->setSublayers({root}));
  EXPECT_FALSE(root->addSublayer(root));
  EXPECT_FALSE(child->setMask(root));
  EXPECT_FALSE(root->setMask(root));
  EXPECT_TRUE(child->sublayers().empty());
  auto mask = Layer::create();
  EXPECT_TRUE(child->setMask(mask));
  EXPECT_FALSE(mask->addSublayer(root));
}

TEST(LayerTree, TextLayerDefaults) {
  auto text = TextLayer::create();
  EXPECT_TRUE(text->isTextLayer());
  EXPECT_FALSE(Layer::create()->isTextLayer());
  EXPECT_EQ(text->fontSize(), 36);
  EXPECT_EQ(text->foregroundColor(), Color::white());
  EXPECT_EQ(text->truncationMode(), TextLayerTruncationMode::none);
  auto plain = Layer::create();
  EXPECT_EQ(plain->shadowOffset(), (Size{0, -3}));
  EXPECT_EQ(plain->anchorPoint(), (Point{0.5, 0.5}));
  EXPECT_EQ(plain->borderColor(), Color::black());
  EXPECT_FALSE(plain->backgroundColor());
}

TEST(LayerConstants, NamesRoundTrip) {
  EXPECT_EQ(name(ContentsGravity::resizeAspectFill), "resizeAspectFill");
  EXPECT_EQ(constantNamed<ContentsGravity>("bottomLeft"), ContentsGravity::bottomLeft);
  EXPECT_EQ(constantNamed<TextLayerTruncationMode>("end"), TextLayerTruncationMode::end);
  EXPECT_EQ(constantNamed<TextLayerAlignmentMode>("Center"), std::nullopt);
  EXPECT_EQ(constantNamed<CornerCurve>("continuous"), CornerCurve::continuous);
  EXPECT_EQ(name(ContentsFormat::RGBA16Float), "RGBA16Float");
}

}  // namespace
}  // namespace velmoradine
