#include "velmoradine/platform/graphics/renderer.hpp"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_set>

#include "velmoradine/platform/graphics/blur.hpp"
#include "velmoradine/platform/graphics/font_description.hpp"

namespace velmoradine {
namespace {

using LayerSet = std::unordered_set<const Layer*>;

constexpr double kLargestShadowSigma = 200;  // device pixels
constexpr double kLargestFontSize = 4096;    // points

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

SurfacePtr surfaceFor(Bitmap& bitmap) {
  return SurfacePtr(cairo_image_surface_create_for_data(
      bitmap.data(), CAIRO_FORMAT_ARGB32, bitmap.width(), bitmap.height(), bitmap.stride()));
}

// Cairo only reads an image's pixels while they are a drawing's source.
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

// Maps a sub-layer's space (its position and frame) into the layer's own.
AffineTransform sublayerSpace(const Layer& layer) {
  AffineTransform space;
  if (layer.isGeometryFlipped()) {
    const Rect& b = layer.bounds();
    space = {1, 0, 0, -1, 0, b.minY() + b.maxY()};
  }
  if (!layer.sublayerTransform().isIdentity()) {
    Point anchor = layer.anchorPointInBounds();
    space = space.concatenating(AffineTransform::makeTranslation(-anchor.x, -anchor.y))
                .concatenating(layer.sublayerTransform().affineTransform())
                .concatenating(AffineTransform::makeTranslation(anchor.x, anchor.y));
  }
  return space;
}

AffineTransform childToParent(const Layer& child, const Layer& parent) {
  return child.transformToSuperlayer().concatenating(sublayerSpace(parent));
}

std::vector<const Layer*> drawingOrder(const Layer& layer) {
  std::vector<const Layer*> order;
  order.reserve(layer.sublayers().size());
  for (const auto& sublayer : layer.sublayers()) order.push_back(sublayer.get());
  std::stable_sort(order.begin(), order.end(),
                   [](const Layer* a, const Layer* b) { return a->zPosition() < b->zPosition(); });
  return order;
}

double clampedOpacity(const Layer& layer) {
  double opacity = layer.opacity();
  return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 1.0;
}

bool hasVisibleShadow(const Layer& layer) {
  return layer.shadowOpacity() > 0 && layer.shadowColor() && layer.shadowColor()->alpha > 0;
}

bool usesGroupOpacity(const Layer& layer) {
  return clampedOpacity(layer) < 1 && layer.allowsGroupOpacity();
}

// Whether the layer has to be drawn whole into a group of its own.
bool drawsAsGroup(const Layer& layer) {
  return layer.mask() != nullptr || usesGroupOpacity(layer) || hasVisibleShadow(layer);
}

double contentsScaleOf(const Layer& layer) {
  double scale = layer.contentsScale();
  return scale > 0 && std::isfinite(scale) ? scale : 1;
}

// Where the contents go in the layer's bounds (in the upright content frame).
Rect gravityRect(ContentsGravity gravity, const Rect& b, Size natural) {
  switch (gravity) {
    case ContentsGravity::resize:
      return b;
    case ContentsGravity::resizeAspect:
    case ContentsGravity::resizeAspectFill: {
      if (natural.width <= 0 || natural.height <= 0) return b;
      double sx = b.width() / natural.width, sy = b.height() / natural.height;
      double s = gravity == ContentsGravity::resizeAspect ? std::min(sx, sy) : std::max(sx, sy);
      double w = natural.width * s, h = natural.height * s;
      return Rect(b.midX() - w / 2, b.midY() - h / 2, w, h);
    }
    default:
      break;
  }
  double w = natural.width, h = natural.height;
  double x = b.midX() - w / 2, y = b.midY() - h / 2;
  switch (gravity) {
    case ContentsGravity::top:
    case ContentsGravity::topLeft:
    case ContentsGravity::topRight:
      y = b.minY();
      break;
    case ContentsGravity::bottom:
    case ContentsGravity::bottomLeft:
    case ContentsGravity::bottomRight:
      y = b.maxY() - h;
      break;
    default:
      break;
  }
  switch (gravity) {
    case ContentsGravity::left:
    case ContentsGravity::topLeft:
    case ContentsGravity::bottomLeft:
      x = b.minX();
      break;
    case ContentsGravity::right:
    case ContentsGravity::topRight:
    case ContentsGravity::bottomRight:
      x = b.maxX() - w;
      break;
    default:
      break;
  }
  return Rect(x, y, w, h);
}

struct ContentsPlacement {
  Rect source;       // pixels of the image
  Rect destination;  // points in the layer
};

std::optional<ContentsPlacement> placeContents(const Layer& layer) {
  const auto& image = layer.contents();
  if (!image) return std::nullopt;
  Rect unit = layer.contentsRect().standardized();
  Rect source(unit.origin.x * image->pixelWidth(), unit.origin.y * image->pixelHeight(),
              unit.size.width * image->pixelWidth(), unit.size.height * image->pixelHeight());
  if (source.isEmpty() || !std::isfinite(source.size.width) || !std::isfinite(source.size.height)) {
    return std::nullopt;
  }
  double scale = contentsScaleOf(layer);
  Size natural{source.size.width / scale, source.size.height / scale};
  return ContentsPlacement{
      source, gravityRect(layer.contentsGravity(), layer.bounds().standardized(), natural)};
}

// The area a layer and its sub-tree may draw on, in its own coordinates.
Rect localExtents(const Layer& layer) {
  Rect extents = layer.bounds().standardized();
  if (layer.masksToBounds()) return extents;
  if (auto placement = placeContents(layer)) extents = extents.unionWith(placement->destination);
  for (const auto& sublayer : layer.sublayers()) {
    if (sublayer->isHidden()) continue;
    Rect child = localExtents(*sublayer);
    if (hasVisibleShadow(*sublayer)) {
      double spread = std::fabs(sublayer->shadowRadius()) * 2 + 1;
      child = child
                  .unionWith(Rect(child.origin.x + sublayer->shadowOffset().width,
                                  child.origin.y + sublayer->shadowOffset().height,
                                  child.size.width, child.size.height))
                  .insetBy(-spread, -spread);
    }
    extents = extents.unionWith(childToParent(*sublayer, layer).apply(child));
  }
  return extents;
}

struct DeviceBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool isEmpty() const { return x1 <= x0 || y1 <= y0; }
  int width() const { return x1 - x0; }
  int height() const { return y1 - y0; }
  DeviceBox intersect(const DeviceBox& o) const {
    return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
  }
  DeviceBox outset(int d) const { return {x0 - d, y0 - d, x1 + d, y1 + d}; }
  DeviceBox shifted(int dx, int dy) const { return {x0 + dx, y0 + dy, x1 + dx, y1 + dy}; }
};

DeviceBox roundOut(const Rect& r) {
  auto clampInt = [](double v) { return static_cast<int>(std::clamp(v, -1e8, 1e8)); };
  if (!std::isfinite(r.minX()) || !std::isfinite(r.maxX()) || !std::isfinite(r.minY()) ||
      !std::isfinite(r.maxY())) {
    return {};
  }
  return {clampInt(std::floor(r.minX())) - 1, clampInt(std::floor(r.minY())) - 1,
          clampInt(std::ceil(r.maxX())) + 1, clampInt(std::ceil(r.maxY())) + 1};
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

Path boundsPath(const Layer& layer) {
  return Path::roundedRect(layer.bounds().standardized(), layer.cornerRadius(),
                           layer.maskedCorners(), layer.cornerCurve());
}

// Draws layers into one Cairo context. With a plan (pre-rendering), layers in
// `split` are drawn in pieces (own drawing, sub-layers, border), each piece and
// each whole layer numbered in drawing order, and only the pieces numbered
// within [from, to] are drawn.
class Painter {
 public:
  Painter(cairo_t* cr, int width, int height, const LayerSet* split = nullptr, long from = 0,
          long to = LONG_MAX)
      : cr_(cr), width_(width), height_(height), split_(split), from_(from), to_(to) {}

  void paintRoot(const Layer& root, const RenderOptions& options) {
    cairo_save(cr_);
    cairo_scale(cr_, options.scale, options.scale);
    bool yUp = options.origin == RenderOrigin::bottomLeft;
    if (yUp) {
      cairo_translate(cr_, 0, height_ / options.scale);
      cairo_scale(cr_, 1, -1);
    }
    paintLayer(root, AffineTransform::identity(), 1, yUp);
    cairo_restore(cr_);
  }

 private:
  bool isSplit(const Layer& layer) const { return split_ && split_->contains(&layer); }
  bool inRange(long step) const { return step >= from_ && step <= to_; }

  long stepCount(const Layer& layer) const {
    if (!isSplit(layer)) return 1;
    long count = 2;
    for (const auto& sublayer : layer.sublayers()) count += stepCount(*sublayer);
    return count;
  }

  void paintLayer(const Layer& layer, const AffineTransform& toParent, double alpha, bool yUp) {
    if (isSplit(layer)) {
      paintSplit(layer, toParent, alpha, yUp);
      return;
    }
    if (inRange(step_++)) paintWhole(layer, toParent, alpha, yUp);
  }

  // A layer whose drawing is interrupted by changing sub-layers. It draws no
  // group (see drawsAsGroup), so its pieces compose like its whole.
  void paintSplit(const Layer& layer, const AffineTransform& toParent, double alpha, bool yUp) {
    double opacity = clampedOpacity(layer);
    if (layer.isHidden() || opacity <= 0) {
      step_ += stepCount(layer);
      return;
    }
    cairo_save(cr_);
    cairo_matrix_t m = toCairo(layer.transformToSuperlayer().concatenating(toParent));
    cairo_transform(cr_, &m);
    if (isBackFacing(layer, yUp)) {
      cairo_restore(cr_);
      step_ += stepCount(layer);
      return;
    }
    double inner = alpha * opacity;
    if (layer.masksToBounds()) clipToBounds(layer);
    if (inRange(step_++)) paintOwn(layer, inner, yUp);
    AffineTransform space = sublayerSpace(layer);
    bool childUp = yUp != layer.isGeometryFlipped();
    for (const Layer* sublayer : drawingOrder(layer)) paintLayer(*sublayer, space, inner, childUp);
    if (inRange(step_++)) paintBorder(layer, inner);
    cairo_restore(cr_);
  }

  bool isBackFacing(const Layer& layer, bool yUp) const {
    if (layer.isDoubleSided()) return false;
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    double det = m.xx * m.yy - m.xy * m.yx;
    return (yUp ? -det : det) < 0;
  }

  void paintWhole(const Layer& layer, const AffineTransform& toParent, double alpha, bool yUp) {
    double opacity = clampedOpacity(layer);
    if (layer.isHidden() || opacity <= 0) return;
    cairo_save(cr_);
    cairo_matrix_t m = toCairo(layer.transformToSuperlayer().concatenating(toParent));
    cairo_transform(cr_, &m);
    if (isBackFacing(layer, yUp)) {
      cairo_restore(cr_);
      return;
    }
    bool groupOpacity = usesGroupOpacity(layer);
    bool group = groupOpacity || layer.mask();
    double inner = groupOpacity ? 1 : alpha * opacity;
    if (group) {
      DeviceBox box = deviceBox(visualExtents(layer)).intersect({0, 0, width_, height_});
      if (box.isEmpty()) {
        cairo_restore(cr_);
        return;
      }
      clipToDeviceBox(box);
      cairo_push_group(cr_);
    }
    paintContent(layer, inner, yUp, true);
    if (group) {
      PatternPtr content(cairo_pop_group(cr_));
      double groupAlpha = groupOpacity ? alpha * opacity : 1;
      if (layer.mask()) {
        cairo_push_group_with_content(cr_, CAIRO_CONTENT_ALPHA);
        paintWhole(*layer.mask(), AffineTransform::identity(), 1, yUp);
        PatternPtr mask(cairo_pop_group(cr_));
        if (groupAlpha < 1) {
          cairo_push_group(cr_);
          cairo_set_source(cr_, content.get());
          cairo_mask(cr_, mask.get());
          cairo_pop_group_to_source(cr_);
          cairo_paint_with_alpha(cr_, groupAlpha);
        } else {
          cairo_set_source(cr_, content.get());
          cairo_mask(cr_, mask.get());
        }
      } else {
        cairo_set_source(cr_, content.get());
        cairo_paint_with_alpha(cr_, groupAlpha);
      }
    }
    cairo_restore(cr_);
  }

  // Everything the layer draws itself and through its sub-layers, in its
  // own (already applied) coordinates.
  void paintContent(const Layer& layer, double alpha, bool yUp, bool withShadow) {
    if (layer.masksToBounds()) clipToBounds(layer);
    if (withShadow && hasVisibleShadow(layer)) paintShadow(layer, alpha, yUp);
    paintOwn(layer, alpha, yUp);
    AffineTransform space = sublayerSpace(layer);
    bool childUp = yUp != layer.isGeometryFlipped();
    for (const Layer* sublayer : drawingOrder(layer)) paintWhole(*sublayer, space, alpha, childUp);
    paintBorder(layer, alpha);
  }

  void clipToBounds(const Layer& layer) {
    cairo_new_path(cr_);
    appendPath(cr_, boundsPath(layer));
    cairo_clip(cr_);
  }

  void clipToDeviceBox(const DeviceBox& box) {
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_rectangle(cr_, box.x0, box.y0, box.width(), box.height());
    cairo_restore(cr_);
    cairo_clip(cr_);
  }

  // The layer's visual extents with its own shadow, in its coordinates.
  Rect visualExtents(const Layer& layer) const {
    Rect extents = localExtents(layer);
    if (hasVisibleShadow(layer)) {
      Rect shape = layer.shadowPath() ? layer.shadowPath()->boundingBox() : extents;
      double spread = std::fabs(layer.shadowRadius()) * 2 + 1;
      Rect shadow(shape.origin.x + layer.shadowOffset().width,
                  shape.origin.y + layer.shadowOffset().height, shape.size.width,
                  shape.size.height);
      extents = extents.unionWith(shadow.insetBy(-spread, -spread));
    }
    return extents;
  }

  DeviceBox deviceBox(const Rect& local) const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return roundOut(fromCairo(m).apply(local));
  }

  void paintOwn(const Layer& layer, double alpha, bool yUp) {
    if (alpha <= 0) return;
    if (const auto& background = layer.backgroundColor(); background && background->alpha > 0) {
      cairo_new_path(cr_);
      appendPath(cr_, boundsPath(layer));
      setSource(cr_, *background, alpha);
      cairo_fill(cr_);
    }
    bool hasContents = layer.contents().has_value();
    const auto* text = layer.isTextLayer() ? static_cast<const TextLayer*>(&layer) : nullptr;
    if (!hasContents && !(text && text->string())) return;
    cairo_save(cr_);
    if (yUp) {
      // Contents stay upright: they are drawn top-down in a frame flipped
      // about the middle of the bounds.
      const Rect& b = layer.bounds();
      cairo_translate(cr_, 0, b.minY() + b.maxY());
      cairo_scale(cr_, 1, -1);
    }
    if (hasContents) paintContents(layer, alpha);
    if (text) paintText(*text, alpha);
    cairo_restore(cr_);
  }

  void paintContents(const Layer& layer, double alpha) {
    auto placement = placeContents(layer);
    if (!placement) return;
    const Image& image = *layer.contents();
    SurfacePtr surface = sourceSurfaceFor(image.bitmap());
    double scale = contentsScaleOf(layer);
    const Rect& s = placement->source;
    const Rect& d = placement->destination;
    Rect center = layer.contentsCenter().standardized();
    // Columns and rows of the nine parts: the outer ones keep their natural
    // size (shrunk together when the destination is smaller), the middle
    // ones stretch.
    auto split = [scale](double from, double length, double unitMin, double unitMax,
                         double destFrom, double destLength, double(&src)[4], double(&dst)[4]) {
      double a = std::clamp(unitMin, 0.0, 1.0) * length;
      double b = std::clamp(unitMax, 0.0, 1.0) * length;
      if (b < a) b = a;
      double fixedStart = a / scale, fixedEnd = (length - b) / scale;
      double middle = destLength - fixedStart - fixedEnd;
      if (middle < 0) {
        double fixed = fixedStart + fixedEnd;
        double f = fixed > 0 ? destLength / fixed : 0;
        fixedStart *= f;
        fixedEnd *= f;
        middle = 0;
      }
      src[0] = from;
      src[1] = from + a;
      src[2] = from + b;
      src[3] = from + length;
      dst[0] = destFrom;
      dst[1] = destFrom + fixedStart;
      dst[2] = dst[1] + middle;
      dst[3] = destFrom + destLength;
    };
    double sx[4], dx[4], sy[4], dy[4];
    split(s.origin.x, s.size.width, center.minX(), center.maxX(), d.origin.x, d.size.width, sx, dx);
    split(s.origin.y, s.size.height, center.minY(), center.maxY(), d.origin.y, d.size.height, sy,
          dy);
    bool insideImage = s.minX() >= 0 && s.minY() >= 0 && s.maxX() <= image.pixelWidth() &&
                       s.maxY() <= image.pixelHeight();
    PatternPtr pattern(cairo_pattern_create_for_surface(surface.get()));
    cairo_pattern_set_extend(pattern.get(), insideImage ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    bool magnifying = d.size.width > s.size.width / scale || d.size.height > s.size.height / scale;
    cairo_pattern_set_filter(pattern.get(),
                             magnifying && layer.magnificationFilter() == ContentsFilter::nearest
                                 ? CAIRO_FILTER_NEAREST
                                 : CAIRO_FILTER_GOOD);
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) {
        double sw = sx[column + 1] - sx[column], sh = sy[row + 1] - sy[row];
        double dw = dx[column + 1] - dx[column], dh = dy[row + 1] - dy[row];
        if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) continue;
        cairo_matrix_t m;
        cairo_matrix_init(&m, sw / dw, 0, 0, sh / dh, sx[column] - dx[column] * sw / dw,
                          sy[row] - dy[row] * sh / dh);
        cairo_pattern_set_matrix(pattern.get(), &m);
        cairo_save(cr_);
        cairo_new_path(cr_);
        cairo_rectangle(cr_, dx[column], dy[row], dw, dh);
        cairo_clip(cr_);
        cairo_set_source(cr_, pattern.get());
        if (alpha >= 1) {
          cairo_paint(cr_);
        } else {
          cairo_paint_with_alpha(cr_, alpha);
        }
        cairo_restore(cr_);
      }
    }
  }

  void paintText(const TextLayer& layer, double alpha) {
    Rect b = layer.bounds().standardized();
    if (b.isEmpty() || !layer.string()) return;
    std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(pango_cairo_create_layout(cr_),
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

    cairo_save(cr_);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, b.minX(), b.minY(), b.width(), b.height());
    cairo_clip(cr_);
    bool fade = alpha < 1;
    if (fade) cairo_push_group(cr_);
    Color color = layer.foregroundColor().value_or(Color::clear());
    setSource(cr_, color, 1);
    cairo_move_to(cr_, x, b.minY());
    pango_cairo_show_layout(cr_, layout.get());
    if (fade) {
      cairo_pop_group_to_source(cr_);
      cairo_paint_with_alpha(cr_, alpha);
    }
    cairo_restore(cr_);
  }

  static std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> attributesFor(
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
        double size = std::isfinite(a.font->pointSize())
                          ? std::min(a.font->pointSize(), kLargestFontSize)
                          : 0;
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

  void paintBorder(const Layer& layer, double alpha) {
    double width = layer.borderWidth();
    const auto& color = layer.borderColor();
    if (!(width > 0) || !color || color->alpha <= 0 || alpha <= 0) return;
    Rect b = layer.bounds().standardized();
    width = std::min(width, std::min(b.width(), b.height()) / 2);
    if (width <= 0) return;
    // Drawn inside the bounds, along the rounded outline: the ring between
    // the outline and the outline inset by the width.
    cairo_new_path(cr_);
    appendPath(cr_, boundsPath(layer));
    appendPath(
        cr_, Path::roundedRect(b.insetBy(width, width), std::max(0.0, layer.cornerRadius() - width),
                               layer.maskedCorners(), layer.cornerCurve()));
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    setSource(cr_, *color, alpha);
    cairo_fill(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
  }

  void paintShadow(const Layer& layer, double alpha, bool yUp) {
    Color color = *layer.shadowColor();
    double shadowAlpha = std::clamp(static_cast<double>(layer.shadowOpacity()), 0.0, 1.0) * alpha;
    if (shadowAlpha <= 0) return;
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    AffineTransform ctm = fromCairo(m);
    double sigma = std::fabs(layer.shadowRadius()) / 2 * std::sqrt(std::fabs(ctm.determinant()));
    if (!std::isfinite(sigma)) return;
    // A blur wider than this is an even haze; capping it bounds the work and
    // the scratch surface a careless radius would ask for.
    sigma = std::min(sigma, kLargestShadowSigma);
    int margin = sigma < 0.1 ? 0 : static_cast<int>(std::ceil(sigma * 3));
    double ox = layer.shadowOffset().width, oy = layer.shadowOffset().height;
    cairo_user_to_device_distance(cr_, &ox, &oy);
    if (!std::isfinite(ox) || !std::isfinite(oy)) return;
    int dx = static_cast<int>(std::lround(ox)), dy = static_cast<int>(std::lround(oy));

    Rect shape = layer.shadowPath() ? layer.shadowPath()->boundingBox() : localExtents(layer);
    // Only the part of the shape whose blurred, shifted shadow can reach the
    // target is drawn.
    DeviceBox target{0, 0, width_, height_};
    DeviceBox region = roundOut(ctm.apply(shape))
                           .intersect(target.shifted(-dx, -dy).outset(margin))
                           .outset(margin);
    if (region.isEmpty()) return;

    SurfacePtr surface(
        cairo_image_surface_create(CAIRO_FORMAT_A8, region.width(), region.height()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return;
    {
      ContextPtr shadowContext(cairo_create(surface.get()));
      cairo_matrix_t shifted = m;
      shifted.x0 -= region.x0;
      shifted.y0 -= region.y0;
      cairo_set_matrix(shadowContext.get(), &shifted);
      if (layer.shadowPath()) {
        appendPath(shadowContext.get(), *layer.shadowPath());
        cairo_set_source_rgba(shadowContext.get(), 0, 0, 0, 1);
        cairo_fill(shadowContext.get());
      } else {
        Painter shape(shadowContext.get(), region.width(), region.height());
        shape.paintContent(layer, 1, yUp, false);
      }
    }
    cairo_surface_flush(surface.get());
    blurAlpha(cairo_image_surface_get_data(surface.get()), region.width(), region.height(),
              cairo_image_surface_get_stride(surface.get()), sigma);
    cairo_surface_mark_dirty(surface.get());

    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    setSource(cr_, color, shadowAlpha);
    cairo_mask_surface(cr_, surface.get(), region.x0 + dx, region.y0 + dy);
    cairo_restore(cr_);
  }

  cairo_t* cr_;
  int width_;
  int height_;
  const LayerSet* split_;
  long from_;
  long to_;
  long step_ = 0;
};

void renderInto(Bitmap& target, const std::function<void(cairo_t*)>& draw) {
  SurfacePtr surface = surfaceFor(target);
  ContextPtr cr(cairo_create(surface.get()));
  draw(cr.get());
  cr.reset();
  cairo_surface_flush(surface.get());
}

RenderOptions sanitized(RenderOptions options) {
  if (!(options.scale > 0) || !std::isfinite(options.scale)) options.scale = 1;
  return options;
}

}  // namespace

void LayerRenderer::render(const Layer& root, Bitmap& target, const RenderOptions& givenOptions) {
  if (target.isNull()) return;
  RenderOptions options = sanitized(givenOptions);
  target.fill(options.background.value_or(Color::clear()));
  renderInto(target, [&](cairo_t* cr) {
    Painter(cr, target.width(), target.height()).paintRoot(root, options);
  });
}

Bitmap LayerRenderer::render(const Layer& root, int pixelWidth, int pixelHeight,
                             const RenderOptions& options) {
  Bitmap target(pixelWidth, pixelHeight);
  render(root, target, options);
  return target;
}

namespace {

bool containsAny(const Layer& layer, const LayerSet& changing) {
  if (changing.contains(&layer)) return true;
  if (layer.mask() && containsAny(*layer.mask(), changing)) return true;
  for (const auto& sublayer : layer.sublayers()) {
    if (containsAny(*sublayer, changing)) return true;
  }
  return false;
}

// Layers above changing ones are drawn in pieces, down to the first layer
// that changes itself or has to be drawn whole as a group.
void markSplit(const Layer& layer, const LayerSet& changing, LayerSet& split) {
  if (changing.contains(&layer) || drawsAsGroup(layer) || !containsAny(layer, changing)) return;
  split.insert(&layer);
  for (const auto& sublayer : layer.sublayers()) markSplit(*sublayer, changing, split);
}

// Numbers the steps as Painter does and finds those that change.
void numberSteps(const Layer& layer, const LayerSet& split, const LayerSet& changing, long& step,
                 long& first, long& last) {
  if (split.contains(&layer)) {
    ++step;
    for (const Layer* sublayer : drawingOrder(layer))
      numberSteps(*sublayer, split, changing, step, first, last);
    ++step;
    return;
  }
  long id = step++;
  if (containsAny(layer, changing)) {
    first = std::min(first, id);
    last = std::max(last, id);
  }
}

DeviceBox paintedBox(const Bitmap& bitmap) {
  DeviceBox box{bitmap.width(), bitmap.height(), 0, 0};
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint32_t* row = bitmap.row(y);
    int x = 0;
    while (x < bitmap.width() && (row[x] >> 24) == 0) ++x;
    if (x == bitmap.width()) continue;
    int end = bitmap.width();
    while ((row[end - 1] >> 24) == 0) --end;
    box.x0 = std::min(box.x0, x);
    box.x1 = std::max(box.x1, end);
    box.y0 = std::min(box.y0, y);
    box.y1 = y + 1;
  }
  return box;
}

void copyPixels(const Bitmap& from, Bitmap& to) {
  std::size_t rowBytes = static_cast<std::size_t>(from.width()) * 4;
  if (from.stride() == to.stride()) {
    std::memcpy(to.data(), from.data(),
                static_cast<std::size_t>(from.stride()) * (from.height() - 1) + rowBytes);
    return;
  }
  for (int y = 0; y < from.height(); ++y) std::memcpy(to.row(y), from.row(y), rowBytes);
}

}  // namespace

struct PreRenderedLayerTree::State {
  std::shared_ptr<const Layer> root;
  std::vector<std::shared_ptr<const Layer>> changingLayers;
  LayerSet changing;
  int width = 0;
  int height = 0;
  RenderOptions options;
  bool prepared = false;
  LayerSet split;
  long first = LONG_MAX;  // the steps from first to last are drawn every frame
  long last = -1;
  Bitmap below;
  Bitmap above;
  DeviceBox aboveBox;

  void number(long& firstStep, long& lastStep) const {
    long step = 0;
    firstStep = LONG_MAX;
    lastStep = -1;
    numberSteps(*root, split, changing, step, firstStep, lastStep);
  }

  void prepare() {
    split.clear();
    markSplit(*root, changing, split);
    number(first, last);
    below = Bitmap(width, height);
    below.fill(options.background.value_or(Color::clear()));
    renderInto(below, [&](cairo_t* cr) {
      Painter(cr, width, height, &split, 0, first - 1).paintRoot(*root, options);
    });
    above = Bitmap(width, height);
    aboveBox = {};
    if (last >= 0) {
      renderInto(above, [&](cairo_t* cr) {
        Painter(cr, width, height, &split, last + 1, LONG_MAX).paintRoot(*root, options);
      });
      aboveBox = paintedBox(above);
    }
    prepared = true;
  }
};

PreRenderedLayerTree::PreRenderedLayerTree(std::shared_ptr<const Layer> root,
                                           std::vector<std::shared_ptr<const Layer>> changing,
                                           int pixelWidth, int pixelHeight, RenderOptions options)
    : state_(std::make_unique<State>()) {
  state_->root = std::move(root);
  for (const auto& layer : changing) {
    if (layer) state_->changing.insert(layer.get());
  }
  state_->changingLayers = std::move(changing);
  state_->width = pixelWidth;
  state_->height = pixelHeight;
  state_->options = sanitized(options);
}

PreRenderedLayerTree::~PreRenderedLayerTree() = default;

int PreRenderedLayerTree::pixelWidth() const {
  return state_->width;
}
int PreRenderedLayerTree::pixelHeight() const {
  return state_->height;
}

void PreRenderedLayerTree::invalidate() {
  state_->prepared = false;
}

Result<void> PreRenderedLayerTree::render(Bitmap& target) {
  State& s = *state_;
  if (target.isNull() || target.width() != s.width || target.height() != s.height) {
    return failure(Error::posix(EINVAL, "target bitmap size differs from the pre-rendered tree's"));
  }
  if (!s.root) {
    target.fill(s.options.background.value_or(Color::clear()));
    return {};
  }
  if (s.prepared) {
    // A changing layer that moved among its siblings (zPosition) changes
    // which layers lie below and above it.
    long first = 0, last = 0;
    s.number(first, last);
    if (first != s.first || last != s.last) s.prepared = false;
  }
  if (!s.prepared) s.prepare();
  copyPixels(s.below, target);
  if (s.last < 0) return {};
  renderInto(target, [&](cairo_t* cr) {
    Painter(cr, s.width, s.height, &s.split, s.first, s.last).paintRoot(*s.root, s.options);
    if (s.aboveBox.isEmpty()) return;
    SurfacePtr above = surfaceFor(s.above);
    cairo_set_source_surface(cr, above.get(), 0, 0);
    cairo_rectangle(cr, s.aboveBox.x0, s.aboveBox.y0, s.aboveBox.width(), s.aboveBox.height());
    cairo_fill(cr);
  });
  return {};
}

Result<Bitmap> PreRenderedLayerTree::render() {
  auto bitmap = Bitmap::create(state_->width, state_->height);
  if (!bitmap) return failure(bitmap.error());
  if (auto done = render(*bitmap); !done) return failure(done.error());
  return std::move(*bitmap);
}

}  // namespace velmoradine
