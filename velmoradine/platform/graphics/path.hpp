#pragma once

// A vector path in points: sub-paths of lines and curves, filled with the
// non-zero winding rule (a layer's shadow path).

#include <vector>

#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/layer_constants.hpp"

namespace velmoradine {

class Path {
 public:
  enum class ElementType { moveTo, lineTo, quadCurveTo, curveTo, closeSubpath };
  struct Element {
    ElementType type;
    // moveTo/lineTo use points[0]; quadCurveTo uses control points[0] and end
    // points[1]; curveTo uses controls points[0], points[1] and end points[2].
    Point points[3];
    friend bool operator==(const Element&, const Element&) = default;
  };

  static Path rect(const Rect& rect);
  static Path ellipse(const Rect& rect);
  // A rectangle whose corners are rounded by `radius`, clamped to half the
  // shorter side; only the corners in `corners` are rounded. Continuous
  // corners blend into the edges gradually.
  static Path roundedRect(const Rect& rect, double radius,
                          CornerMaskSet corners = CornerMaskSet::all(),
                          CornerCurve curve = CornerCurve::circular);

  void moveTo(Point p);
  void lineTo(Point p);
  void quadCurveTo(Point control, Point end);
  void curveTo(Point control1, Point control2, Point end);
  void closeSubpath();
  void addPath(const Path& other);

  const std::vector<Element>& elements() const { return elements_; }
  bool isEmpty() const { return elements_.empty(); }
  // The smallest rectangle holding every point, control points included.
  Rect boundingBox() const;
  Path applying(const AffineTransform& transform) const;

  friend bool operator==(const Path&, const Path&) = default;

 private:
  std::vector<Element> elements_;
};

}  // namespace velmoradine
