#include "velmoradine/platform/graphics/geometry.hpp"

#include <gtest/gtest.h>

#include <numbers>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/path.hpp"

namespace velmoradine {
namespace {

void expectRectNear(const Rect& actual, const Rect& expected) {
  EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
  EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
  EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
  EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

TEST(Geometry, RectStandardizesNegativeSizes) {
  Rect r(10, 20, -4, -6);
  EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
  EXPECT_EQ(r.minX(), 6);
  EXPECT_EQ(r.maxY(), 20);
}

TEST(Geometry, AffineConcatenationAppliesLeftFirst) {
  auto scale = AffineTransform::makeScale(2, 3);
  auto move = AffineTransform::makeTranslation(10, 0);
  Point p = scale.concatenating(move).apply(Point{1, 1});
  EXPECT_EQ(p, (Point{12, 3}));
  Point q = move.concatenating(scale).apply(Point{1, 1});
  EXPECT_EQ(q, (Point{22, 3}));
}

TEST(Geometry, AffineInverseUndoesTransform) {
  auto t =
      AffineTransform::makeRotation(0.7).concatenating(AffineTransform::makeTranslation(5, -2));
  Point p = t.inverted().apply(t.apply(Point{3, 4}));
  EXPECT_NEAR(p.x, 3, 1e-9);
  EXPECT_NEAR(p.y, 4, 1e-9);
}

TEST(Geometry, RotatedRectBoundingBox) {
  auto quarter = AffineTransform::makeRotation(std::numbers::pi / 2);
  expectRectNear(quarter.apply(Rect(0, 0, 10, 4)), Rect(-4, 0, 4, 10));
}

TEST(Geometry, Transform3DConcatenationMatchesAffine) {
  auto a = AffineTransform::makeScale(2, 2).concatenating(AffineTransform::makeTranslation(3, 4));
  auto t = Transform3D::makeScale(2, 2, 1).concatenating(Transform3D::makeTranslation(3, 4, 0));
  EXPECT_TRUE(t.isAffine());
  EXPECT_EQ(t.affineTransform(), a);
  EXPECT_EQ(Transform3D::makeAffineTransform(a), t);
}

TEST(Geometry, Transform3DRotationAboutZIsAffineRotation) {
  auto t = Transform3D::makeRotation(std::numbers::pi / 2, 0, 0, 1);
  auto a = t.affineTransform();
  EXPECT_NEAR(a.a, 0, 1e-12);
  EXPECT_NEAR(a.b, 1, 1e-12);
  EXPECT_NEAR(a.c, -1, 1e-12);
  EXPECT_TRUE(Transform3D::makeRotation(1, 0, 0, 0).isIdentity());
  EXPECT_FALSE(Transform3D::makeRotation(0.5, 0, 1, 0).isAffine());
}

TEST(Geometry, Transform3DRowsRoundTrip) {
  std::array<double, 16> values{};
  for (int i = 0; i < 16; ++i) values[i] = i + 1;
  auto t = Transform3D::fromRows(values);
  EXPECT_EQ(t.m12, 2);
  EXPECT_EQ(t.m41, 13);
  EXPECT_EQ(t.rows(), values);
}

TEST(Geometry, ColorFromHex) {
  EXPECT_EQ(Color::fromHex("#FF0000"), Color::rgba(1, 0, 0, 1));
  auto c = Color::fromHex("#00ff0080");
  ASSERT_TRUE(c);
  EXPECT_NEAR(c->alpha, 128 / 255.0, 1e-12);
  EXPECT_EQ(c->hexString(), "#00FF0080");
  EXPECT_FALSE(Color::fromHex("FF0000"));
  EXPECT_FALSE(Color::fromHex("#FF00"));
  EXPECT_FALSE(Color::fromHex("#GG0000"));
}

TEST(Geometry, RoundedRectClampsRadiusAndKeepsSquareCorners) {
  Path all = Path::roundedRect(Rect(0, 0, 10, 20), 50);
  expectRectNear(all.boundingBox(), Rect(0, 0, 10, 20));
  CornerMaskSet one{static_cast<std::uint32_t>(CornerMask::maxXMaxYCorner)};
  Path single = Path::roundedRect(Rect(0, 0, 10, 10), 4, one);
  EXPECT_EQ(single.elements().front().points[0], (Point{0, 0}));
}

TEST(Geometry, RoundedRectRadiusIsBoundByTheShorterSide) {
  // Each corner leaves the edges the clamped radius before the corner point,
  // so the path opens and turns there, whichever side is the shorter.
  struct Case {
    Rect rect;
    double radius;
    Point start;
    Point topRightCornerStart;
    Point topRightCornerEnd;
  };
  const Case cases[] = {
      {Rect(0, 0, 100, 40), 100, {20, 0}, {80, 0}, {100, 20}},
      {Rect(0, 0, 40, 100), 100, {20, 0}, {20, 0}, {40, 20}},
      {Rect(0, 0, 100, 40), 15, {15, 0}, {85, 0}, {100, 15}},
      {Rect(10, 10, 100, 40), 30, {30, 10}, {90, 10}, {110, 30}},
  };
  for (const Case& c : cases) {
    const Path path = Path::roundedRect(c.rect, c.radius);
    const auto& elements = path.elements();
    ASSERT_GE(elements.size(), 3u);
    EXPECT_EQ(elements[0].points[0], c.start) << c.radius;
    EXPECT_EQ(elements[1].points[0], c.topRightCornerStart) << c.radius;
    ASSERT_EQ(elements[2].type, Path::ElementType::curveTo);
    EXPECT_EQ(elements[2].points[2], c.topRightCornerEnd) << c.radius;
  }
}

}  // namespace
}  // namespace velmoradine
