#pragma once

// Private to platform/graphics: drawing a layer tree with Cairo, whole or in
// part. Both the renderer and the pre-rendered tree draw through here.

#include <climits>
#include <unordered_set>
#include <vector>

#include "velmoradine/platform/graphics/cairo_support.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace velmoradine::painting {

using LayerSet = std::unordered_set<const Layer*>;

// A box of whole device pixels, [x0, x1) × [y0, y1).
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

// The sub-layers in the order they are drawn (by zPosition, stable).
std::vector<const Layer*> drawingOrder(const Layer& layer);

// Whether the layer has to be drawn whole into a group of its own.
bool drawsAsGroup(const Layer& layer);

// The options with a usable scale (1 for a scale that is not a positive number).
RenderOptions sanitized(RenderOptions options);

// Which part of a drawing to draw. Layers in `split` are drawn in pieces (own
// drawing, sub-layers, border), each piece and each whole layer numbered in
// drawing order, and only the pieces numbered within [from, to] are drawn.
// Without `split` the whole tree is drawn.
struct PaintPlan {
  const LayerSet* split = nullptr;
  long from = 0;
  long to = LONG_MAX;
};

// Draws the tree rooted at `root` into a context over a target of
// `width` × `height` pixels.
void paintTree(cairo_t* cr, int width, int height, const Layer& root, const RenderOptions& options,
               const PaintPlan& plan = {});

}  // namespace velmoradine::painting
