#include "velmoradine/platform/graphics/path.hpp"

#include <algorithm>
#include <cmath>

namespace velmoradine {
namespace {

// The control-point distance that makes a cubic Bézier follow a quarter circle.
constexpr double kKappa = 0.5522847498307936;
// The continuous corner's reach and control pull, as multiples of the radius.
constexpr double kContinuousReach = 1.528;
constexpr double kContinuousPull = 1.257;

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

Path Path::roundedRect(const Rect& rect, double radius, CornerMaskSet corners, CornerCurve curve) {
  Rect r = rect.standardized();
  double half = std::min(r.width(), r.height()) / 2;
  double rr = std::isfinite(radius) ? std::clamp(radius, 0.0, half) : 0.0;
  if (rr <= 0) return Path::rect(r);
  // A corner leaves each edge `reach` before the corner point; its Bézier
  // controls lie `pull` back from those ends towards the corner. A circular
  // corner reaches r with the quarter-circle controls. A continuous corner
  // starts earlier (1.528 r) with controls near the corner, so its curvature
  // grows from zero instead of jumping, while its middle stays where the
  // circle's is; it needs the room, else the corner stays circular.
  double reach = rr, pull = rr * kKappa;
  if (curve == CornerCurve::continuous && rr * kContinuousReach <= half) {
    reach = rr * kContinuousReach;
    pull = rr * kContinuousPull;
  }
  Path path;
  // Corners in drawing order, each with the directions back along the edge
  // that arrives and forward along the edge that leaves.
  struct Corner {
    CornerMask mask;
    Point at;
    Point back;
    Point forward;
  };
  const Corner order[4] = {
      {CornerMask::maxXMinYCorner, {r.maxX(), r.minY()}, {-1, 0}, {0, 1}},
      {CornerMask::maxXMaxYCorner, {r.maxX(), r.maxY()}, {0, -1}, {-1, 0}},
      {CornerMask::minXMaxYCorner, {r.minX(), r.maxY()}, {1, 0}, {0, -1}},
      {CornerMask::minXMinYCorner, {r.minX(), r.minY()}, {0, 1}, {1, 0}},
  };
  auto along = [](Point from, Point direction, double distance) {
    return Point{from.x + direction.x * distance, from.y + direction.y * distance};
  };
  double startReach = corners.contains(CornerMask::minXMinYCorner) ? reach : 0;
  path.moveTo({r.minX() + startReach, r.minY()});
  for (const Corner& c : order) {
    if (!corners.contains(c.mask)) {
      path.lineTo(c.at);
      continue;
    }
    path.lineTo(along(c.at, c.back, reach));
    path.curveTo(along(c.at, c.back, reach - pull), along(c.at, c.forward, reach - pull),
                 along(c.at, c.forward, reach));
  }
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
