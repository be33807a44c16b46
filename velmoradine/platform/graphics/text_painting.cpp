#include "velmoradine/platform/graphics/text_painting.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

namespace velmoradine::painting {
namespace {

constexpr double kLargestFontSize = 4096;  // points

std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> attributesFor(
    const AttributedString& text) {
  std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> list(pango_attr_list_new(),
                                                                        pango_attr_list_unref);
  const std::string& s = text.string;
  // Ranges are snapped outwards to whole UTF-8 characters.
  auto startOf = [&](std::size_t i) {
    i = std::min(i, s.size());
    while (i > 0 && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    return static_cast<unsigned>(i);
  };
  auto endOf = [&](std::size_t i) {
    i = std::min(i, s.size());
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    return static_cast<unsigned>(i);
  };
  auto add = [&](PangoAttribute* attribute, unsigned start, unsigned end) {
    attribute->start_index = start;
    attribute->end_index = end;
    pango_attr_list_insert(list.get(), attribute);
  };
  auto to16 = [](double c) {
    return static_cast<guint16>(std::lround(std::clamp(c, 0.0, 1.0) * 65535));
  };
  for (const auto& run : text.runs) {
    if (run.location >= s.size() || run.length == 0) continue;
    unsigned start = startOf(run.location);
    unsigned end = endOf(run.location + std::min(run.length, s.size() - run.location));
    const TextAttributes& a = run.attributes;
    if (a.font) {
      double size =
          std::isfinite(a.font->pointSize()) ? std::min(a.font->pointSize(), kLargestFontSize) : 0;
      FontDescription description(*a.font, size);
      add(pango_attr_font_desc_new(description.get()), start, end);
    }
    if (a.foregroundColor) {
      const Color& c = *a.foregroundColor;
      add(pango_attr_foreground_new(to16(c.red), to16(c.green), to16(c.blue)), start, end);
      add(pango_attr_foreground_alpha_new(std::max<guint16>(1, to16(c.alpha))), start, end);
    }
    if (a.backgroundColor) {
      const Color& c = *a.backgroundColor;
      add(pango_attr_background_new(to16(c.red), to16(c.green), to16(c.blue)), start, end);
      add(pango_attr_background_alpha_new(std::max<guint16>(1, to16(c.alpha))), start, end);
    }
    if (a.kern)
      add(pango_attr_letter_spacing_new(static_cast<int>(*a.kern * PANGO_SCALE)), start, end);
    if (a.underline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start, end);
  }
  return list;
}

}  // namespace

void paintText(cairo_t* cr, const TextLayer& layer, double alpha) {
  Rect b = layer.bounds().standardized();
  if (b.isEmpty() || !layer.string()) return;
  std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(pango_cairo_create_layout(cr),
                                                                 g_object_unref);
  cairo_font_options_t* fontOptions = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(fontOptions, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(fontOptions, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(fontOptions, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), fontOptions);
  cairo_font_options_destroy(fontOptions);
  pango_layout_context_changed(layout.get());

  double fontSize = layer.fontSize() > 0 && std::isfinite(layer.fontSize())
                        ? std::min(layer.fontSize(), kLargestFontSize)
                        : 0;
  FontDescription base(layer.font(), fontSize);
  pango_layout_set_font_description(layout.get(), base.get());
  if (const auto* plain = std::get_if<std::string>(&*layer.string())) {
    if (fontSize <= 0) return;
    pango_layout_set_text(layout.get(), plain->data(), static_cast<int>(plain->size()));
  } else {
    const auto& attributed = std::get<AttributedString>(*layer.string());
    pango_layout_set_text(layout.get(), attributed.string.data(),
                          static_cast<int>(attributed.string.size()));
    pango_layout_set_attributes(layout.get(), attributesFor(attributed).get());
  }

  bool limitWidth = layer.isWrapped() || layer.truncationMode() != TextLayerTruncationMode::none;
  if (limitWidth) pango_layout_set_width(layout.get(), static_cast<int>(b.width() * PANGO_SCALE));
  pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  switch (layer.truncationMode()) {
    case TextLayerTruncationMode::none:
      break;
    case TextLayerTruncationMode::start:
      pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_START);
      break;
    case TextLayerTruncationMode::middle:
      pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_MIDDLE);
      break;
    case TextLayerTruncationMode::end:
      pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
      break;
  }
  // Wrapped text that is truncated loses the lines below the bounds, the
  // last line that fits ending in the ellipsis.
  if (layer.isWrapped() && layer.truncationMode() != TextLayerTruncationMode::none) {
    pango_layout_set_height(layout.get(), static_cast<int>(b.height() * PANGO_SCALE));
  }
  PangoAlignment alignment = PANGO_ALIGN_LEFT;
  switch (layer.alignmentMode()) {
    case TextLayerAlignmentMode::natural:
      break;
    case TextLayerAlignmentMode::left:
    case TextLayerAlignmentMode::justified:
      pango_layout_set_auto_dir(layout.get(), FALSE);
      break;
    case TextLayerAlignmentMode::right:
      pango_layout_set_auto_dir(layout.get(), FALSE);
      alignment = PANGO_ALIGN_RIGHT;
      break;
    case TextLayerAlignmentMode::center:
      alignment = PANGO_ALIGN_CENTER;
      break;
  }
  pango_layout_set_alignment(layout.get(), alignment);
  pango_layout_set_justify(layout.get(),
                           layer.alignmentMode() == TextLayerAlignmentMode::justified);

  double x = b.minX();
  if (!limitWidth) {
    // Without a width Pango aligns lines against the widest one; the block
    // itself is placed in the bounds here.
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    double width = static_cast<double>(logical.width) / PANGO_SCALE;
    if (alignment == PANGO_ALIGN_CENTER) x += (b.width() - width) / 2;
    if (alignment == PANGO_ALIGN_RIGHT) x += b.width() - width;
  }

  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
  cairo_clip(cr);
  bool fade = alpha < 1;
  if (fade) cairo_push_group(cr);
  Color color = layer.foregroundColor().value_or(Color::clear());
  setSource(cr, color, 1);
  cairo_move_to(cr, x, b.minY());
  pango_cairo_show_layout(cr, layout.get());
  if (fade) {
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
  }
  cairo_restore(cr);
}

}  // namespace velmoradine::painting
