// PreRenderedLayerTree: the layers below and above the changing ones drawn
// once, the changing ones every frame.

#include <cerrno>
#include <climits>
#include <cstring>

#include "velmoradine/platform/graphics/layer_painting.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace velmoradine {

using painting::DeviceBox;
using painting::drawingOrder;
using painting::drawsAsGroup;
using painting::LayerSet;
using painting::paintTree;
using painting::renderInto;
using painting::sanitized;
using painting::surfaceFor;
using painting::SurfacePtr;

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

// Numbers the steps as the painting does and finds those that change.
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
      paintTree(cr, width, height, *root, options, {&split, 0, first - 1});
    });
    above = Bitmap(width, height);
    aboveBox = {};
    if (last >= 0) {
      renderInto(above, [&](cairo_t* cr) {
        paintTree(cr, width, height, *root, options, {&split, last + 1, LONG_MAX});
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
    paintTree(cr, s.width, s.height, *s.root, s.options, {&s.split, s.first, s.last});
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
  VELMORADINE_TRY(bitmap);
  VELMORADINE_TRY(render(*bitmap));
  return std::move(*bitmap);
}

}  // namespace velmoradine
