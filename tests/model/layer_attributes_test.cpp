#include "velmoradine/model/layer_attributes.hpp"

#include <gtest/gtest.h>

#include <numbers>

#include "velmoradine/model/ugc_format.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using A = MutableLayerAttribute;

constexpr std::string_view kTextOnlyLine =
    "[Velmoradine] [UGCGenerator] This Layer attribute does not exist for this layer type.  "
    "Ignoring "
    "attribute, but preceding creating layer. layerAttribute ";

TEST(MutableLayerAttribute, TextFormNamesTheCaseAndPayload) {
  EXPECT_EQ(A::isWrapped(true).description(), "isWrapped(true)");
  EXPECT_EQ(A::fontSize(12).description(), "fontSize(12.0)");
  EXPECT_EQ(A::opacity(0.5f).description(), "opacity(0.5)");
  EXPECT_EQ(A::frame(Rect(0, 0, 100, 50.5)).description(), "frame((0.0, 0.0, 100.0, 50.5))");
  EXPECT_EQ(A::alignmentMode(TextLayerAlignmentMode::center).description(),
            "alignmentMode(center)");
  EXPECT_EQ(A::string(TextString("Hi \"you\"")).description(), "string(\"Hi \\\"you\\\"\")");
  EXPECT_EQ(A::foregroundColor(Color::rgba(1, 0, 0)).description(), "foregroundColor(#FF0000FF)");
  EXPECT_EQ(A::backgroundColor(std::nullopt).description(), "backgroundColor(nil)");
  EXPECT_EQ(A::font(Font("Helvetica-Bold")).description(), "font(\"Helvetica-Bold\")");
}

TEST(MutableLayerAttribute, TextLayerGroupStartsAtIsWrapped) {
  EXPECT_FALSE(A::cornerCurve(CornerCurve::continuous).isTextLayerAttribute());
  EXPECT_FALSE(A::name("x").isTextLayerAttribute());
  EXPECT_TRUE(A::isWrapped(false).isTextLayerAttribute());
  EXPECT_TRUE(A::allowsFontSubpixelQuantization(true).isTextLayerAttribute());
}

TEST(MutableLayerAttributeCodingKeys, FiftyTwoKeysInCaseOrderWithoutIsOpaque) {
  const auto& keys = allCodingKeys();
  ASSERT_EQ(keys.size(), 52u);
  EXPECT_EQ(stringValue(keys.front()), "contents");
  EXPECT_EQ(stringValue(keys[24]), "magnificationFilter");
  EXPECT_EQ(stringValue(keys[25]), "edgeAntialiasingMask");
  EXPECT_EQ(stringValue(keys.back()), "allowsFontSubpixelQuantization");
  EXPECT_FALSE(codingKey("isOpaque"));
  for (auto key : keys) {
    EXPECT_EQ(codingKey(stringValue(key)), key);
    EXPECT_FALSE(intValue(key));
  }
  EXPECT_FALSE(codingKey("Contents"));
  EXPECT_FALSE(codingKey("contents "));
  EXPECT_FALSE(codingKey(0));
  EXPECT_FALSE(codingKey(1));
}

TEST(MutableLayerAttributeCodingKeys, KeyTextsAreTheCaseNames) {
  std::size_t keyIndex = 0;
  for (int i = 0; i <= static_cast<int>(A::Case::allowsFontSubpixelQuantization); ++i) {
    auto kind = static_cast<A::Case>(i);
    if (kind == A::Case::isOpaque) continue;
    EXPECT_EQ(stringValue(allCodingKeys()[keyIndex++]), caseName(kind));
  }
  EXPECT_EQ(keyIndex, 52u);
}

TEST(ApplyAttributes, EmptyListChangesNothingAndLogsNothing) {
  console::Capture capture;
  auto layer = Layer::create();
  applyAttributes(*layer, {});
  EXPECT_EQ(layer->bounds(), Rect());
  EXPECT_EQ(layer->opacity(), 1.0f);
  EXPECT_TRUE(capture.lines().empty());
}

TEST(ApplyAttributes, SetsEachNamedProperty) {
  auto text = TextLayer::create();
  auto sub = Layer::create();
  applyAttributes(*text, {A::opacity(0.25f), A::cornerRadius(8), A::backgroundColor(Color::white()),
                          A::shadowOffset({1, 2}), A::sublayers({sub}), A::name("title"),
                          A::isWrapped(true), A::truncationMode(TextLayerTruncationMode::middle),
                          A::string(TextString("hello")), A::fontSize(20), A::font(Font("Serif")),
                          A::transform(Transform3D::makeScale(2, 2, 1)), A::zPosition(3)});
  EXPECT_EQ(text->opacity(), 0.25f);
  EXPECT_EQ(text->cornerRadius(), 8);
  EXPECT_EQ(text->backgroundColor(), Color::white());
  EXPECT_EQ(text->shadowOffset(), (Size{1, 2}));
  ASSERT_EQ(text->sublayers().size(), 1u);
  EXPECT_EQ(sub->superlayer(), text);
  EXPECT_EQ(text->name(), "title");
  EXPECT_TRUE(text->isWrapped());
  EXPECT_EQ(text->truncationMode(), TextLayerTruncationMode::middle);
  EXPECT_EQ(text->string(), TextString("hello"));
  EXPECT_EQ(text->fontSize(), 20);
  EXPECT_EQ(text->font().name(), "Serif");
  EXPECT_EQ(text->transform(), Transform3D::makeScale(2, 2, 1));
  EXPECT_EQ(text->zPosition(), 3);
}

TEST(ApplyAttributes, TextAttributeOnPlainLayerIsSkippedWithOneLineEach) {
  console::Capture capture;
  auto layer = Layer::create();
  applyAttributes(*layer,
                  {A::opacity(0.5f), A::isWrapped(true), A::fontSize(30), A::cornerRadius(4)});
  EXPECT_EQ(layer->opacity(), 0.5f);
  EXPECT_EQ(layer->cornerRadius(), 4);
  auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(kTextOnlyLine) + "isWrapped(true)");
  EXPECT_EQ(lines[1], std::string(kTextOnlyLine) + "fontSize(30.0)");
}

TEST(ApplyAttributes, LaterAttributeWins) {
  auto layer = Layer::create();
  applyAttributes(*layer, {A::frame(Rect(0, 0, 10, 10)), A::frame(Rect(5, 5, 20, 30))});
  EXPECT_EQ(layer->frame(), Rect(5, 5, 20, 30));
  EXPECT_EQ(layer->position(), (Point{15, 20}));
}

TEST(ApplyAttributes, FrameThenTransformDiffersFromTransformThenFrame) {
  auto first = Layer::create();
  applyAttributes(*first,
                  {A::frame(Rect(0, 0, 100, 100)), A::transform(Transform3D::makeScale(2, 2, 1))});
  EXPECT_EQ(first->bounds().size, (Size{100, 100}));
  EXPECT_EQ(first->frame(), Rect(-50, -50, 200, 200));
  auto second = Layer::create();
  applyAttributes(*second,
                  {A::transform(Transform3D::makeScale(2, 2, 1)), A::frame(Rect(0, 0, 100, 100))});
  EXPECT_EQ(second->bounds().size, (Size{50, 50}));
  EXPECT_EQ(second->frame(), Rect(0, 0, 100, 100));
}

TEST(ApplyAttributes, VersionGatedAttributesAreSkippedSilentlyOnOlderPlatforms) {
  console::Capture capture;
  CornerMaskSet one{static_cast<std::uint32_t>(CornerMask::minXMinYCorner)};
  auto old = Layer::create();
  applyAttributes(*old, {A::maskedCorners(one), A::cornerCurve(CornerCurve::continuous)}, {10, 3});
  EXPECT_EQ(old->maskedCorners(), CornerMaskSet::all());
  EXPECT_EQ(old->cornerCurve(), CornerCurve::circular);

  auto middle = Layer::create();
  applyAttributes(*middle, {A::maskedCorners(one), A::cornerCurve(CornerCurve::continuous)},
                  {12, 4});
  EXPECT_EQ(middle->maskedCorners(), one);
  EXPECT_EQ(middle->cornerCurve(), CornerCurve::circular);

  auto current = Layer::create();
  applyAttributes(*current, {A::maskedCorners(one), A::cornerCurve(CornerCurve::continuous)});
  EXPECT_EQ(current->maskedCorners(), one);
  EXPECT_EQ(current->cornerCurve(), CornerCurve::continuous);
  EXPECT_TRUE(capture.lines().empty());
  EXPECT_TRUE(LayerPlatformVersion::current().isAtLeast(13, 0));
}

TEST(ApplyAttributes, CyclicMaskOrSublayersAreRefusedWithALine) {
  console::Capture capture;
  auto root = Layer::create();
  auto child = Layer::create();
  root->addSublayer(child);
  applyAttribute(*child, A::sublayers({root}));
  applyAttribute(*child, A::mask(root));
  EXPECT_TRUE(child->sublayers().empty());
  EXPECT_EQ(child->mask(), nullptr);
  EXPECT_EQ(capture.lines().size(), 2u);
}

TEST(UGCFormat, FormatsKeepOrderAndAreShared) {
  auto format = UGCTextFormat::create({A::fontSize(10), A::isWrapped(true)});
  std::shared_ptr<UGCFormat> first = format;
  std::shared_ptr<UGCFormat> second = format;
  first->appendAttribute(A::string(TextString("one")));
  ASSERT_EQ(second->attributes().size(), 3u);
  EXPECT_EQ(second->attributes()[0].kind(), A::Case::fontSize);
  EXPECT_EQ(second->attributes()[2].kind(), A::Case::string);
  second->setAttributes({});
  EXPECT_TRUE(first->attributes().empty());
  EXPECT_TRUE(UGCImageFormat::create()->attributes().empty());
  EXPECT_EQ(UGCVideoFormat::create({A::opacity(1)})->attributes().size(), 1u);
}

TEST(UGCFormat, SharedTextFormatShowsEachLayersOwnText) {
  auto format = UGCTextFormat::create({A::fontSize(10)});
  auto first = TextLayer::create();
  format->appendAttribute(A::string(TextString("first")));
  applyAttributes(*first, format->attributes());
  auto second = TextLayer::create();
  format->appendAttribute(A::string(TextString("second")));
  applyAttributes(*second, format->attributes());
  EXPECT_EQ(format->attributes().size(), 3u);
  EXPECT_EQ(first->string(), TextString("first"));
  EXPECT_EQ(second->string(), TextString("second"));
}

TEST(TransformToExpectedAssetScale, LandscapeAndSquareUseTheWidth) {
  auto layer = Layer::create();
  layer->setFrame(Rect(0, 0, 540, 480));
  auto t = transformToExpectedAssetScale(*layer, {540, 960}, {1920, 1080});
  EXPECT_DOUBLE_EQ(t.a, 540.0 / 540 * (540.0 / 1920));
  EXPECT_DOUBLE_EQ(t.d, 960.0 / 480 * (540.0 / 1920));
  EXPECT_EQ(t.b, 0);
  EXPECT_EQ(t.tx, 0);
  auto square = transformToExpectedAssetScale(*layer, {540, 960}, {100, 100});
  EXPECT_DOUBLE_EQ(square.a, 5.4);
}

TEST(TransformToExpectedAssetScale, PortraitUsesTheHeight) {
  auto layer = Layer::create();
  layer->setFrame(Rect(0, 0, 270, 480));
  auto t = transformToExpectedAssetScale(*layer, {540, 960}, {1080, 1920});
  double s = 480.0 / 1920;
  EXPECT_DOUBLE_EQ(t.a, 540.0 / 270 * s);
  EXPECT_DOUBLE_EQ(t.d, 960.0 / 480 * s);
}

TEST(TransformToExpectedAssetScale, EmptyFrameGivesNonFiniteFactors) {
  auto layer = Layer::create();
  auto t = transformToExpectedAssetScale(*layer, {540, 960}, {1920, 1080});
  EXPECT_FALSE(std::isfinite(t.a));
  EXPECT_FALSE(std::isfinite(t.d));
}

}  // namespace
}  // namespace velmoradine
