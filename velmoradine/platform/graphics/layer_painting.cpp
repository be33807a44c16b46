#include "velmoradine/platform/graphics/layer_painting.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "velmoradine/platform/graphics/blur.hpp"
#include "velmoradine/platform/graphics/text_painting.hpp"

namespace velmoradine::painting {
namespace {

constexpr double kLargestShadowSigma = 200;  // device pixels

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

DeviceBox roundOut(const Rect& r) {
  auto clampInt = [](double v) { return static_cast<int>(std::clamp(v, -1e8, 1e8)); };
  if (!std::isfinite(r.minX()) || !std::isfinite(r.maxX()) || !std::isfinite(r.minY()) ||
      !std::isfinite(r.maxY())) {
    return {};
  }
  return {clampInt(std::floor(r.minX())) - 1, clampInt(std::floor(r.minY())) - 1,
          clampInt(std::ceil(r.maxX())) + 1, clampInt(std::ceil(r.maxY())) + 1};
}

Path boundsPath(const Layer& layer) {
  return Path::roundedRect(layer.bounds().standardized(), layer.cornerRadius(),
                           layer.maskedCorners(), layer.cornerCurve());
}

// Draws layers into one Cairo context, following a PaintPlan.
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
    if (text) paintText(cr_, *text, alpha);
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

}  // namespace

std::vector<const Layer*> drawingOrder(const Layer& layer) {
  std::vector<const Layer*> order;
  order.reserve(layer.sublayers().size());
  for (const auto& sublayer : layer.sublayers()) order.push_back(sublayer.get());
  std::stable_sort(order.begin(), order.end(),
                   [](const Layer* a, const Layer* b) { return a->zPosition() < b->zPosition(); });
  return order;
}

bool drawsAsGroup(const Layer& layer) {
  return layer.mask() != nullptr || usesGroupOpacity(layer) || hasVisibleShadow(layer);
}

RenderOptions sanitized(RenderOptions options) {
  if (!(options.scale > 0) || !std::isfinite(options.scale)) options.scale = 1;
  return options;
}

void paintTree(cairo_t* cr, int width, int height, const Layer& root, const RenderOptions& options,
               const PaintPlan& plan) {
  Painter(cr, width, height, plan.split, plan.from, plan.to).paintRoot(root, options);
}

}  // namespace velmoradine::painting
