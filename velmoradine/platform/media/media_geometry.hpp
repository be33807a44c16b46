#pragma once

// The few geometric values the media layer needs: an affine transform with
// Core Graphics' conventions (x' = a·x + c·y + tx, y' = b·x + d·y + ty) and
// sizes and rectangles in pixels.

#include <cmath>

namespace velmoradine::media {

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static AffineTransform identity() { return {}; }
  static AffineTransform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static AffineTransform scale(double x, double y) { return {x, 0, 0, y, 0, 0}; }
  // Counter-clockwise in a y-up frame, clockwise on a y-down picture.
  static AffineTransform rotation(double radians) {
    const double cosine = std::cos(radians), sine = std::sin(radians);
    return {cosine, sine, -sine, cosine, 0, 0};
  }

  bool isIdentity() const { return *this == AffineTransform{}; }
  // This transform followed by `next`.
  AffineTransform concatenating(const AffineTransform& next) const {
    return {a * next.a + b * next.c,
            a * next.b + b * next.d,
            c * next.a + d * next.c,
            c * next.b + d * next.d,
            tx * next.a + ty * next.c + next.tx,
            tx * next.b + ty * next.d + next.ty};
  }
  double applyX(double x, double y) const { return a * x + c * y + tx; }
  double applyY(double x, double y) const { return b * x + d * y + ty; }
  // The bounding box of `rect` after the transform.
  Rect apply(const Rect& rect) const;

  friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

inline Rect AffineTransform::apply(const Rect& rect) const {
  const double xs[4] = {rect.x, rect.x + rect.width, rect.x, rect.x + rect.width};
  const double ys[4] = {rect.y, rect.y, rect.y + rect.height, rect.y + rect.height};
  double minX = applyX(xs[0], ys[0]), maxX = minX, minY = applyY(xs[0], ys[0]), maxY = minY;
  for (int i = 1; i < 4; ++i) {
    const double x = applyX(xs[i], ys[i]), y = applyY(xs[i], ys[i]);
    minX = std::fmin(minX, x), maxX = std::fmax(maxX, x);
    minY = std::fmin(minY, y), maxY = std::fmax(maxY, y);
  }
  return {minX, minY, maxX - minX, maxY - minY};
}

}  // namespace velmoradine::media
