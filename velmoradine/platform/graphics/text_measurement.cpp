#include "velmoradine/platform/graphics/text_measurement.hpp"

#include <pango/pangocairo.h>

#include <cmath>
#include <memory>

#include "velmoradine/platform/graphics/cairo_support.hpp"

namespace velmoradine {
namespace {

// The renderer lays text out with unhinted metrics; measuring with the same
// options is what makes a measured size match the drawn text.
void useRendererFontOptions(PangoLayout* layout) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout);
}

}  // namespace

TextMetrics measureText(std::string_view text, const Font& font) {
  double size = font.pointSize();
  if (text.empty() || !(size > 0) || !std::isfinite(size)) return {};
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1), cairo_surface_destroy);
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), cairo_destroy);
  std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(
      pango_cairo_create_layout(cr.get()), g_object_unref);
  useRendererFontOptions(layout.get());
  painting::FontDescription description(font, size);
  pango_layout_set_font_description(layout.get(), description.get());
  pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  return {{static_cast<double>(logical.width) / PANGO_SCALE,
           static_cast<double>(logical.height) / PANGO_SCALE},
          static_cast<double>(pango_layout_get_baseline(layout.get())) / PANGO_SCALE};
}

}  // namespace velmoradine
