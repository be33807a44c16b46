#include "velmoradine/platform/graphics/path.hpp"

#include <algorithm>

namespace velmoradine {
namespace {

// The control-point distance that makes a cubic Bézier follow a quarter circle.
constexpr double kKappa = 0.5522847498307936;

int pointCount(Path::ElementType type) {
  switch (type) {
    case Path::ElementType::moveTo:
    case Path::ElementType::lineTo:
      return 1;
    case Path::ElementType::quadCurveTo:
      return 2;
    case Path::ElementType::curveTo:
      return 3;
    case Path::ElementType::closeSubpath:
      return 0;
  }
  return 0;
}

}  // namespace

Path Path::rect(const Rect& r) {
  Path path;
  path.moveTo({r.minX(), r.minY()});
  path.lineTo({r.maxX(), r.minY()});
  path.lineTo({r.maxX(), r.maxY()});
  path.lineTo({r.minX(), r.maxY()});
  path.closeSubpath();
  return path;
}

Path Path::ellipse(const Rect& r) {
  double cx = r.midX(), cy = r.midY();
  double rx = r.width() / 2, ry = r.height() / 2;
  double kx = rx * kKappa, ky = ry * kKappa;
  Path path;
  path.moveTo({cx + rx, cy});
  path.curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
  path.curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
  path.curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
  path.curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
  path.closeSubpath();
  return path;
}

Path Path::roundedRect(const Rect& rect, double radius, CornerMaskSet corners) {
  Rect r = rect.standardized();
  double limit = std::min(r.width(), r.height()) / 2;
  double rr = std::clamp(radius, 0.0, limit);
  if (rr <= 0) return Path::rect(r);
  auto radiusAt = [&](CornerMask corner) { return corners.contains(corner) ? rr : 0.0; };
  double r00 = radiusAt(CornerMask::minXMinYCorner);
  double r10 = radiusAt(CornerMask::maxXMinYCorner);
  double r11 = radiusAt(CornerMask::maxXMaxYCorner);
  double r01 = radiusAt(CornerMask::minXMaxYCorner);
  double x0 = r.minX(), x1 = r.maxX(), y0 = r.minY(), y1 = r.maxY();
  Path path;
  path.moveTo({x0 + r00, y0});
  path.lineTo({x1 - r10, y0});
  if (r10 > 0)
    path.curveTo({x1 - r10 + r10 * kKappa, y0}, {x1, y0 + r10 - r10 * kKappa}, {x1, y0 + r10});
  path.lineTo({x1, y1 - r11});
  if (r11 > 0)
    path.curveTo({x1, y1 - r11 + r11 * kKappa}, {x1 - r11 + r11 * kKappa, y1}, {x1 - r11, y1});
  path.lineTo({x0 + r01, y1});
  if (r01 > 0)
    path.curveTo({x0 + r01 - r01 * kKappa, y1}, {x0, y1 - r01 + r01 * kKappa}, {x0, y1 - r01});
  path.lineTo({x0, y0 + r00});
  if (r00 > 0)
    path.curveTo({x0, y0 + r00 - r00 * kKappa}, {x0 + r00 - r00 * kKappa, y0}, {x0 + r00, y0});
  path.closeSubpath();
  return path;
}

void Path::moveTo(Point p) {
  elements_.push_back({ElementType::moveTo, {p, {}, {}}});
}
void Path::lineTo(Point p) {
  elements_.push_back({ElementType::lineTo, {p, {}, {}}});
}
void Path::quadCurveTo(Point control, Point end) {
  elements_.push_back({ElementType::quadCurveTo, {control, end, {}}});
}
void Path::curveTo(Point control1, Point control2, Point end) {
  elements_.push_back({ElementType::curveTo, {control1, control2, end}});
}
void Path::closeSubpath() {
  elements_.push_back({ElementType::closeSubpath, {}});
}
void Path::addPath(const Path& other) {
  elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
}

Rect Path::boundingBox() const {
  bool any = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (const Element& e : elements_) {
    for (int i = 0; i < pointCount(e.type); ++i) {
      const Point& p = e.points[i];
      if (!any) {
        x0 = x1 = p.x;
        y0 = y1 = p.y;
        any = true;
      }
      x0 = std::min(x0, p.x);
      x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y);
      y1 = std::max(y1, p.y);
    }
  }
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

Path Path::applying(const AffineTransform& transform) const {
  Path result = *this;
  for (Element& e : result.elements_) {
    for (int i = 0; i < pointCount(e.type); ++i) e.points[i] = transform.apply(e.points[i]);
  }
  return result;
}

}  // namespace velmoradine
