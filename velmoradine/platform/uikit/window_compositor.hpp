#pragma once

// Internal: draws the window's view trees into its bitmap, redrawing only
// what changed since the last frame.
//
// Each frame walks the trees (cheap: no pixels) and notes, per view, where
// it lands on screen, how it is faded and clipped, and which raster of its
// layer it shows. A view whose note differs from the last frame's damages
// the screen where it was and where it is now; a view that disappeared
// damages where it was. Only the damaged pixel rectangles are drawn again,
// by compositing the cached view rasters (see view_raster.hpp) through the
// layer renderer into that part of the bitmap.
//
// A view shrunk by its (or its ancestors') transforms is rasterised at the
// size it lands on screen, so compositing it scales little; plain
// backgrounds and borders are drawn directly, at any size.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/uikit/pixel_rect.hpp"
#include "velmoradine/platform/uikit/view_raster.hpp"

namespace velmoradine {

class UIView;

class WindowCompositor {
 public:
  WindowCompositor(Rect screen, double scale, Color background);

  // Brings `target` (the screen's pixel size) up to date with the trees,
  // drawn in order; returns the pixel rectangles drawn.
  std::vector<PixelRect> display(const std::vector<std::shared_ptr<UIView>>& roots, Bitmap& target);
  // Drops every raster and draws the whole screen at the next display.
  void invalidateAll();
  std::uint64_t rasterizationCount() const { return rasterizations_; }

 private:
  // Where and how a view was drawn.
  struct Placement {
    AffineTransform toWindow;
    Rect bounds;
    double alpha = 1;
    Rect clip;
    bool hidden = false;
    bool clips = false;
    double cornerRadius = 0;
    std::uint64_t rasterGeneration = 0;
    std::vector<std::uint64_t> overlayGenerations;
    // Siblings drawn in a new order: the damage of the view that moved
    // repaints the overlap in the new order.
    std::uint64_t orderVersion = 0;
    Rect onScreen;  // the damage it causes, in window points
    friend bool operator==(const Placement&, const Placement&) = default;
  };
  struct Entry {
    Placement placement;
    ViewRaster raster;
    // The sublayers drawn above each subview.
    std::vector<ViewRaster> overlays;
    bool seen = false;
  };
  struct Visit {
    AffineTransform toWindow;
    double alpha = 1;
    Rect clip;
    // How much the model's transforms shrink the view on screen; animations
    // in flight do not count, so they never rasterise a view again.
    double modelScale = 1;
  };

  std::shared_ptr<Layer> visit(UIView& view, const Visit& parent);
  static std::vector<LayerPart> overlayParts(const UIView& view);
  double rasterScale(double modelScale) const;
  static std::shared_ptr<Layer> plainDrawing(const Layer& own, const Rect& bounds);
  static void addOverlay(Layer& layer, const ViewRaster& raster, const Rect& bounds);
  void damage(const Rect& points);
  void draw(const std::vector<std::shared_ptr<Layer>>& roots, const PixelRect& rect,
            Bitmap& target) const;

  Rect screen_;
  double scale_;
  Color background_;
  std::unordered_map<std::uint64_t, Entry> entries_;
  std::vector<PixelRect> damage_;
  std::uint64_t rasterizations_ = 0;
  bool everything_ = true;
};

}  // namespace velmoradine
