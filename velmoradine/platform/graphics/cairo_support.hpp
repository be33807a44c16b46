#pragma once

// Private to platform/graphics: the one header that includes Cairo and
// Pango. Public headers of this area and every other area stay free of them;
// media and the toolkit draw through the renderer and bitmap_painting.hpp.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <functional>
#include <memory>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/font.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/path.hpp"

namespace velmoradine::painting {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct PatternDeleter {
  void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

// A surface drawing into the bitmap's own pixels.
SurfacePtr surfaceFor(Bitmap& bitmap);
// Cairo only reads an image's pixels while they are a drawing's source.
SurfacePtr sourceSurfaceFor(const Bitmap& bitmap);

cairo_matrix_t toCairo(const AffineTransform& t);
AffineTransform fromCairo(const cairo_matrix_t& m);

// Adds the path's elements to the context's current path.
void appendPath(cairo_t* cr, const Path& path);
// The colour as the source, its alpha multiplied by `alpha`.
void setSource(cairo_t* cr, const Color& color, double alpha);

// Runs `draw` on a context over the bitmap's pixels, flushed once it returns.
void renderInto(Bitmap& target, const std::function<void(cairo_t*)>& draw);

// A Font turned into a Pango description.
class FontDescription {
 public:
  FontDescription(const Font& font, double pointSize);
  ~FontDescription();
  FontDescription(const FontDescription&) = delete;
  FontDescription& operator=(const FontDescription&) = delete;
  PangoFontDescription* get() const { return description_; }

 private:
  PangoFontDescription* description_;
};

}  // namespace velmoradine::painting
