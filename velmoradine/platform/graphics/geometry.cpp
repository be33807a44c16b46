#include "velmoradine/platform/graphics/geometry.hpp"

#include <algorithm>

namespace velmoradine {

Rect Rect::insetBy(double dx, double dy) const {
  Rect r = standardized();
  return Rect(r.origin.x + dx, r.origin.y + dy, std::max(0.0, r.size.width - 2 * dx),
              std::max(0.0, r.size.height - 2 * dy));
}

Rect Rect::unionWith(const Rect& other) const {
  double x0 = std::min(minX(), other.minX());
  double y0 = std::min(minY(), other.minY());
  double x1 = std::max(maxX(), other.maxX());
  double y1 = std::max(maxY(), other.maxY());
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

bool Rect::contains(Point p) const {
  return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

AffineTransform AffineTransform::makeRotation(double angle) {
  double c = std::cos(angle);
  double s = std::sin(angle);
  return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concatenating(const AffineTransform& o) const {
  return {a * o.a + b * o.c, a * o.b + b * o.d,          c * o.a + d * o.c,
          c * o.b + d * o.d, tx * o.a + ty * o.c + o.tx, tx * o.b + ty * o.d + o.ty};
}

AffineTransform AffineTransform::inverted() const {
  double det = determinant();
  if (det == 0 || !std::isfinite(det)) return *this;
  return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

Rect AffineTransform::apply(const Rect& r) const {
  Point corners[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                      apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
  double x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
  for (const Point& p : corners) {
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

Transform3D Transform3D::makeTranslation(double tx, double ty, double tz) {
  Transform3D t;
  t.m41 = tx;
  t.m42 = ty;
  t.m43 = tz;
  return t;
}

Transform3D Transform3D::makeScale(double sx, double sy, double sz) {
  Transform3D t;
  t.m11 = sx;
  t.m22 = sy;
  t.m33 = sz;
  return t;
}

Transform3D Transform3D::makeRotation(double angle, double x, double y, double z) {
  double length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return {};
  x /= length;
  y /= length;
  z /= length;
  double c = std::cos(angle);
  double s = std::sin(angle);
  double t = 1 - c;
  Transform3D r;
  r.m11 = t * x * x + c;
  r.m12 = t * x * y + s * z;
  r.m13 = t * x * z - s * y;
  r.m21 = t * x * y - s * z;
  r.m22 = t * y * y + c;
  r.m23 = t * y * z + s * x;
  r.m31 = t * x * z + s * y;
  r.m32 = t * y * z - s * x;
  r.m33 = t * z * z + c;
  return r;
}

Transform3D Transform3D::makeAffineTransform(const AffineTransform& a) {
  Transform3D t;
  t.m11 = a.a;
  t.m12 = a.b;
  t.m21 = a.c;
  t.m22 = a.d;
  t.m41 = a.tx;
  t.m42 = a.ty;
  return t;
}

Transform3D Transform3D::fromRows(const std::array<double, 16>& v) {
  return {v[0], v[1], v[2],  v[3],  v[4],  v[5],  v[6],  v[7],
          v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]};
}

std::array<double, 16> Transform3D::rows() const {
  return {m11, m12, m13, m14, m21, m22, m23, m24, m31, m32, m33, m34, m41, m42, m43, m44};
}

bool Transform3D::isAffine() const {
  return m13 == 0 && m14 == 0 && m23 == 0 && m24 == 0 && m31 == 0 && m32 == 0 && m33 == 1 &&
         m34 == 0 && m43 == 0 && m44 == 1;
}

Transform3D Transform3D::concatenating(const Transform3D& o) const {
  auto a = rows();
  auto b = o.rows();
  std::array<double, 16> r{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = sum;
    }
  }
  return fromRows(r);
}

}  // namespace velmoradine
