#include "velmoradine/platform/graphics/font.hpp"

#include <memory>

#include "velmoradine/platform/graphics/cairo_support.hpp"

namespace velmoradine {

std::string Font::resolvedFamilyName() const {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  std::unique_ptr<PangoContext, decltype(&g_object_unref)> context(
      pango_font_map_create_context(map), g_object_unref);
  painting::FontDescription description(*this, pointSize_);
  std::unique_ptr<PangoFont, decltype(&g_object_unref)> font(
      pango_font_map_load_font(map, context.get(), description.get()), g_object_unref);
  if (!font) return {};
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> resolved(
      pango_font_describe(font.get()), pango_font_description_free);
  const char* family = pango_font_description_get_family(resolved.get());
  return family ? family : "";
}

}  // namespace velmoradine
