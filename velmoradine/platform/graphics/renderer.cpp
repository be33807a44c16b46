#include "velmoradine/platform/graphics/renderer.hpp"

#include "velmoradine/platform/graphics/layer_painting.hpp"

namespace velmoradine {

void LayerRenderer::render(const Layer& root, Bitmap& target, const RenderOptions& givenOptions) {
  if (target.isNull()) return;
  RenderOptions options = painting::sanitized(givenOptions);
  target.fill(options.background.value_or(Color::clear()));
  painting::renderInto(target, [&](cairo_t* cr) {
    painting::paintTree(cr, target.width(), target.height(), root, options);
  });
}

Bitmap LayerRenderer::render(const Layer& root, int pixelWidth, int pixelHeight,
                             const RenderOptions& options) {
  Bitmap target(pixelWidth, pixelHeight);
  render(root, target, options);
  return target;
}

}  // namespace velmoradine
