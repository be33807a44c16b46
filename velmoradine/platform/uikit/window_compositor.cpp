#include "velmoradine/platform/uikit/window_compositor.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {
namespace {

// Past this many separate rectangles a frame draws their union instead.
constexpr std::size_t kMaximumDamageRects = 16;
// A view shrunk further than this is on its way in or out of sight (scaled
// towards nothing by an animation): it keeps a raster at the screen's scale
// for the frames in between.
constexpr double kSmallestRasterScale = 0.25;

// The larger factor by which `transform` scales an axis.
double scaleOf(const AffineTransform& transform) {
  return std::max(std::hypot(transform.a, transform.b), std::hypot(transform.c, transform.d));
}

Rect intersection(const Rect& a, const Rect& b) {
  double left = std::max(a.minX(), b.minX());
  double top = std::max(a.minY(), b.minY());
  double right = std::min(a.maxX(), b.maxX());
  double bottom = std::min(a.maxY(), b.maxY());
  if (!(right > left) || !(bottom > top)) return {};
  return {left, top, right - left, bottom - top};
}

void addMerged(std::vector<PixelRect>& rects, PixelRect rect) {
  // Overlapping rectangles are drawn once, as their union; the union may
  // overlap others in turn.
  for (bool merged = true; merged;) {
    merged = false;
    for (auto it = rects.begin(); it != rects.end(); ++it) {
      if (!it->intersects(rect)) continue;
      rect = rect.unionWith(*it);
      rects.erase(it);
      merged = true;
      break;
    }
  }
  rects.push_back(rect);
  if (rects.size() <= kMaximumDamageRects) return;
  PixelRect all;
  for (const auto& r : rects) all = all.unionWith(r);
  rects = {all};
}

}  // namespace

WindowCompositor::WindowCompositor(Rect screen, double scale, Color background)
    : screen_(screen), scale_(scale), background_(background) {}

void WindowCompositor::invalidateAll() {
  entries_.clear();
  everything_ = true;
}

void WindowCompositor::damage(const Rect& points) {
  if (points.isEmpty()) return;
  int width = static_cast<int>(std::ceil(screen_.width() * scale_));
  int height = static_cast<int>(std::ceil(screen_.height() * scale_));
  // One pixel more on each side covers antialiased edges.
  int left = std::clamp(static_cast<int>(std::floor(points.minX() * scale_)) - 1, 0, width);
  int top = std::clamp(static_cast<int>(std::floor(points.minY() * scale_)) - 1, 0, height);
  int right = std::clamp(static_cast<int>(std::ceil(points.maxX() * scale_)) + 1, 0, width);
  int bottom = std::clamp(static_cast<int>(std::ceil(points.maxY() * scale_)) + 1, 0, height);
  PixelRect rect{left, top, right - left, bottom - top};
  if (!rect.isEmpty()) addMerged(damage_, rect);
}

std::shared_ptr<Layer> WindowCompositor::visit(UIView& view, const Visit& parent) {
  auto state = UIViewAnimator::shared().presentationState(view).value_or(view.animatableState());
  const Layer& own = *view.layer();
  auto layer = Layer::create();
  layer->setBounds(state.bounds);
  layer->setAnchorPoint(own.anchorPoint());
  layer->setPosition(state.center);
  layer->setAffineTransform(state.transform);
  layer->setOpacity(static_cast<float>(state.alpha));
  layer->setHidden(own.isHidden());
  layer->setMasksToBounds(own.masksToBounds());
  layer->setCornerRadius(own.cornerRadius());
  layer->setMaskedCorners(own.maskedCorners());
  layer->setCornerCurve(own.cornerCurve());

  Entry& entry = entries_[view.identifier()];
  entry.seen = true;
  const double modelScale = parent.modelScale * scaleOf(view.animatableState().transform);
  const double scale = rasterScale(modelScale);
  const auto& subviews = view.subviews();
  // Sublayers not below the first subview are drawn in parts of their own.
  LayerPart base{0,
                 subviews.empty() ? std::numeric_limits<std::size_t>::max()
                                  : subviews.front()->superlayerSublayersBelow(),
                 true};
  if (entry.raster.refresh(view, scale, base)) ++rasterizations_;
  const std::vector<LayerPart> overlays = overlayParts(view);
  entry.overlays.resize(overlays.size());
  std::vector<std::uint64_t> overlayGenerations;
  for (std::size_t i = 0; i < overlays.size(); ++i) {
    if (entry.overlays[i].refresh(view, scale, overlays[i])) ++rasterizations_;
    // Parts that draw nothing come and go with subviews and change nothing.
    if (entry.overlays[i].drawsAnything())
      overlayGenerations.push_back(entry.overlays[i].generation());
  }
  if (entry.raster.image()) layer->setContents(*entry.raster.image());
  if (entry.raster.isPlain()) layer->addSublayer(plainDrawing(own, state.bounds));
  if (entry.raster.isContentsAlone()) {
    layer->setContentsGravity(own.contentsGravity());
    layer->setContentsScale(own.contentsScale());
    layer->setContentsRect(own.contentsRect());
    layer->setContentsCenter(own.contentsCenter());
  }

  Placement placement;
  placement.toWindow = layer->transformToSuperlayer().concatenating(parent.toWindow);
  placement.bounds = state.bounds;
  placement.alpha = parent.alpha * std::clamp(state.alpha, 0.0, 1.0);
  placement.clip = parent.clip;
  placement.hidden = own.isHidden();
  placement.clips = own.masksToBounds();
  placement.cornerRadius = own.cornerRadius();
  placement.rasterGeneration = entry.raster.generation();
  placement.overlayGenerations = std::move(overlayGenerations);
  placement.orderVersion = view.orderVersion();
  Rect extent = placement.toWindow.apply(state.bounds);
  bool visible = !placement.hidden && placement.alpha > 0;
  placement.onScreen = visible ? intersection(extent, parent.clip) : Rect();
  if (!(placement == entry.placement)) {
    damage(entry.placement.onScreen);
    damage(placement.onScreen);
    entry.placement = placement;
  }
  if (placement.hidden) return layer;

  Visit inside{placement.toWindow, placement.alpha,
               placement.clips ? intersection(extent, parent.clip) : parent.clip, modelScale};
  for (std::size_t i = 0; i <= subviews.size(); ++i) {
    if (i > 0) addOverlay(*layer, entry.overlays[i - 1], state.bounds);
    if (i < subviews.size()) layer->addSublayer(visit(*subviews[i], inside));
  }
  return layer;
}

// One part per subview: the sublayers added after it and before the next
// one (the last part runs to the end); empty parts draw nothing.
std::vector<LayerPart> WindowCompositor::overlayParts(const UIView& view) {
  const auto& subviews = view.subviews();
  const std::size_t count = view.layer()->sublayers().size();
  std::vector<LayerPart> parts;
  std::size_t first = subviews.empty() ? count : subviews.front()->superlayerSublayersBelow();
  for (std::size_t i = 0; i < subviews.size(); ++i) {
    first = std::min(first, count);
    std::size_t end = i + 1 < subviews.size() ? subviews[i + 1]->superlayerSublayersBelow() : count;
    end = std::clamp(end, first, count);
    parts.push_back({first, end, false});
    first = end;
  }
  return parts;
}

double WindowCompositor::rasterScale(double modelScale) const {
  if (!(modelScale >= kSmallestRasterScale) || modelScale >= 1) return scale_;
  return scale_ * modelScale;
}

// Below the subviews, as the raster of the own drawing would be.
std::shared_ptr<Layer> WindowCompositor::plainDrawing(const Layer& own, const Rect& bounds) {
  auto plain = Layer::create();
  plain->setFrame(bounds);
  plain->setBackgroundColor(own.backgroundColor());
  plain->setBorderColor(own.borderColor());
  plain->setBorderWidth(own.borderWidth());
  plain->setCornerRadius(own.cornerRadius());
  plain->setMaskedCorners(own.maskedCorners());
  plain->setCornerCurve(own.cornerCurve());
  return plain;
}

void WindowCompositor::addOverlay(Layer& layer, const ViewRaster& raster, const Rect& bounds) {
  for (const RasterPiece& piece : raster.pieces()) {
    auto overlay = Layer::create();
    overlay->setFrame({{bounds.minX() + piece.frame.minX(), bounds.minY() + piece.frame.minY()},
                       piece.frame.size});
    overlay->setContents(piece.image);
    layer.addSublayer(overlay);
  }
}

std::vector<PixelRect> WindowCompositor::display(const std::vector<std::shared_ptr<UIView>>& roots,
                                                 Bitmap& target) {
  for (auto& [identifier, entry] : entries_) entry.seen = false;
  std::vector<std::shared_ptr<Layer>> layers;
  Visit top{AffineTransform::identity(), 1, screen_};
  for (const auto& root : roots) layers.push_back(visit(*root, top));
  std::erase_if(entries_, [this](const auto& item) {
    if (item.second.seen) return false;
    damage(item.second.placement.onScreen);
    return true;
  });
  if (everything_) {
    damage_ = {PixelRect{0, 0, target.width(), target.height()}};
    everything_ = false;
  }
  std::vector<PixelRect> drawn = std::move(damage_);
  damage_.clear();
  for (const auto& rect : drawn) draw(layers, rect, target);
  return drawn;
}

void WindowCompositor::draw(const std::vector<std::shared_ptr<Layer>>& roots, const PixelRect& rect,
                            Bitmap& target) const {
  auto part = Bitmap::wrap(reinterpret_cast<std::uint8_t*>(target.row(rect.y) + rect.x), rect.width,
                           rect.height, target.stride());
  if (!part) return;
  auto screen = Layer::create();
  screen->setAnchorPoint({0, 0});
  screen->setBounds(screen_);
  screen->setPosition({-rect.x / scale_, -rect.y / scale_});
  for (const auto& root : roots) screen->addSublayer(root);
  LayerRenderer::render(
      *screen, *part,
      {.scale = scale_, .origin = RenderOrigin::topLeft, .background = background_});
}

}  // namespace velmoradine
