#include "velmoradine/platform/graphics/bitmap_painting.hpp"

#include <algorithm>
#include <cmath>

#include "velmoradine/platform/graphics/cairo_support.hpp"

namespace velmoradine {
namespace {

void clipTo(cairo_t* cr, const Rect& clip, double radius) {
  const double x = clip.origin.x, y = clip.origin.y, w = clip.width(), h = clip.height();
  const double r = std::min({radius, w / 2, h / 2});
  if (r > 0) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
  } else {
    cairo_rectangle(cr, x, y, w, h);
  }
  cairo_clip(cr);
}

}  // namespace

void paintBitmap(Bitmap& canvas, const Bitmap& picture, const AffineTransform& transform,
                 double opacity, const std::optional<Rect>& clip, double cornerRadius) {
  painting::SurfacePtr source(cairo_image_surface_create_for_data(
      const_cast<std::uint8_t*>(picture.data()), CAIRO_FORMAT_ARGB32, picture.width(),
      picture.height(), picture.stride()));
  painting::renderInto(canvas, [&](cairo_t* cr) {
    if (clip) clipTo(cr, *clip, cornerRadius);
    const cairo_matrix_t matrix = painting::toCairo(transform);
    cairo_transform(cr, &matrix);
    cairo_set_source_surface(cr, source.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint_with_alpha(cr, opacity);
  });
}

}  // namespace velmoradine
