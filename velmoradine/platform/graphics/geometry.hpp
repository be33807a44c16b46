#pragma once

// Geometry in points, 64-bit floats throughout: points, sizes, rectangles, the
// 2-D affine transform and the 3-D transform of the layer model. Transforms
// treat points as row vectors, so `concat(a, b)` applies `a` first, then `b`
// (the order the layer model's documentation uses).

#include <array>
#include <cmath>
#include <cstdint>

namespace velmoradine {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(Point origin, Size size) : origin(origin), size(size) {}
  Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

  double minX() const { return std::fmin(origin.x, origin.x + size.width); }
  double maxX() const { return std::fmax(origin.x, origin.x + size.width); }
  double minY() const { return std::fmin(origin.y, origin.y + size.height); }
  double maxY() const { return std::fmax(origin.y, origin.y + size.height); }
  double midX() const { return (minX() + maxX()) / 2; }
  double midY() const { return (minY() + maxY()) / 2; }
  double width() const { return std::fabs(size.width); }
  double height() const { return std::fabs(size.height); }
  bool isEmpty() const { return size.width == 0 || size.height == 0; }
  // The same rectangle with a non-negative width and height.
  Rect standardized() const { return Rect(minX(), minY(), width(), height()); }
  Rect insetBy(double dx, double dy) const;
  Rect unionWith(const Rect& other) const;
  bool contains(Point point) const;

  friend bool operator==(const Rect&, const Rect&) = default;
};

// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static AffineTransform identity() { return {}; }
  static AffineTransform makeTranslation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
  static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  static AffineTransform makeRotation(double angle);

  bool isIdentity() const { return *this == AffineTransform{}; }
  // `this` first, then `other`.
  AffineTransform concatenating(const AffineTransform& other) const;
  AffineTransform inverted() const;  // the transform itself when it is singular
  double determinant() const { return a * d - b * c; }
  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
  // The bounding box of the transformed rectangle.
  Rect apply(const Rect& r) const;

  friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

struct Transform3D {
  double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
  double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
  double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
  double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

  static Transform3D identity() { return {}; }
  static Transform3D makeTranslation(double tx, double ty, double tz);
  static Transform3D makeScale(double sx, double sy, double sz);
  // Rotation by `angle` radians about the axis (x, y, z); a zero axis gives identity.
  static Transform3D makeRotation(double angle, double x, double y, double z);
  static Transform3D makeAffineTransform(const AffineTransform& t);
  // The 16 entries row by row (m11, m12, … m44).
  static Transform3D fromRows(const std::array<double, 16>& values);
  std::array<double, 16> rows() const;

  bool isIdentity() const { return *this == Transform3D{}; }
  // Whether the transform maps the z = 0 plane within itself without
  // perspective, so that its affine part describes it exactly.
  bool isAffine() const;
  // The part acting on x and y: what a flat drawing of the layer uses.
  AffineTransform affineTransform() const { return {m11, m12, m21, m22, m41, m42}; }
  // `this` first, then `other`.
  Transform3D concatenating(const Transform3D& other) const;

  friend bool operator==(const Transform3D&, const Transform3D&) = default;
};

// The corners of a layer, as bits (the layer's masked corners).
enum class CornerMask : std::uint32_t {
  minXMinYCorner = 1U << 0,
  maxXMinYCorner = 1U << 1,
  minXMaxYCorner = 1U << 2,
  maxXMaxYCorner = 1U << 3,
};
struct CornerMaskSet {
  std::uint32_t rawValue = 0xF;
  static CornerMaskSet all() { return {0xF}; }
  bool contains(CornerMask corner) const {
    return (rawValue & static_cast<std::uint32_t>(corner)) != 0;
  }
  CornerMaskSet& insert(CornerMask corner) {
    rawValue |= static_cast<std::uint32_t>(corner);
    return *this;
  }
  friend bool operator==(const CornerMaskSet&, const CornerMaskSet&) = default;
};

// The edges of a layer, as bits (the layer's edge antialiasing mask).
enum class EdgeMask : std::uint32_t {
  layerLeftEdge = 1U << 0,
  layerRightEdge = 1U << 1,
  layerBottomEdge = 1U << 2,
  layerTopEdge = 1U << 3,
};
struct EdgeMaskSet {
  std::uint32_t rawValue = 0xF;
  bool contains(EdgeMask edge) const { return (rawValue & static_cast<std::uint32_t>(edge)) != 0; }
  friend bool operator==(const EdgeMaskSet&, const EdgeMaskSet&) = default;
};

}  // namespace velmoradine
