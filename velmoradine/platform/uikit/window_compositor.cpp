#include "velmoradine/platform/uikit/window_compositor.hpp"

#include <algorithm>
#include <cmath>

#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {
namespace {

// Past this many separate rectangles a frame draws their union instead.
constexpr std::size_t kMaximumDamageRects = 16;

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
  if (entry.raster.refresh(view, scale_)) ++rasterizations_;
  if (entry.raster.image()) layer->setContents(*entry.raster.image());
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
               placement.clips ? intersection(extent, parent.clip) : parent.clip};
  for (const auto& subview : view.subviews()) layer->addSublayer(visit(*subview, inside));
  return layer;
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
