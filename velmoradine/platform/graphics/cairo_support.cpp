#include "velmoradine/platform/graphics/cairo_support.hpp"

#include <algorithm>

namespace velmoradine::painting {

SurfacePtr surfaceFor(Bitmap& bitmap) {
  return SurfacePtr(cairo_image_surface_create_for_data(
      bitmap.data(), CAIRO_FORMAT_ARGB32, bitmap.width(), bitmap.height(), bitmap.stride()));
}

SurfacePtr sourceSurfaceFor(const Bitmap& bitmap) {
  return SurfacePtr(cairo_image_surface_create_for_data(
      const_cast<std::uint8_t*>(bitmap.data()),
      bitmap.isOpaque() ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, bitmap.width(), bitmap.height(),
      bitmap.stride()));
}

cairo_matrix_t toCairo(const AffineTransform& t) {
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  return m;
}

AffineTransform fromCairo(const cairo_matrix_t& m) {
  return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void appendPath(cairo_t* cr, const Path& path) {
  for (const Path::Element& e : path.elements()) {
    switch (e.type) {
      case Path::ElementType::moveTo:
        cairo_move_to(cr, e.points[0].x, e.points[0].y);
        break;
      case Path::ElementType::lineTo:
        cairo_line_to(cr, e.points[0].x, e.points[0].y);
        break;
      case Path::ElementType::quadCurveTo: {
        double x0, y0;
        if (cairo_has_current_point(cr)) {
          cairo_get_current_point(cr, &x0, &y0);
        } else {
          x0 = e.points[0].x;
          y0 = e.points[0].y;
        }
        const Point& c = e.points[0];
        const Point& p = e.points[1];
        cairo_curve_to(cr, x0 + 2.0 / 3 * (c.x - x0), y0 + 2.0 / 3 * (c.y - y0),
                       p.x + 2.0 / 3 * (c.x - p.x), p.y + 2.0 / 3 * (c.y - p.y), p.x, p.y);
        break;
      }
      case Path::ElementType::curveTo:
        cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y,
                       e.points[2].x, e.points[2].y);
        break;
      case Path::ElementType::closeSubpath:
        cairo_close_path(cr);
        break;
    }
  }
}

void setSource(cairo_t* cr, const Color& color, double alpha) {
  cairo_set_source_rgba(cr, color.red, color.green, color.blue,
                        std::clamp(color.alpha * alpha, 0.0, 1.0));
}

void renderInto(Bitmap& target, const std::function<void(cairo_t*)>& draw) {
  SurfacePtr surface = surfaceFor(target);
  ContextPtr cr(cairo_create(surface.get()));
  draw(cr.get());
  cr.reset();
  cairo_surface_flush(surface.get());
}

}  // namespace velmoradine::painting
