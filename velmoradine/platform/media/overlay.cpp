#include "velmoradine/platform/media/overlay.hpp"

#include <algorithm>
#include <functional>
#include <vector>

#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine::media {
namespace {

const RenderOptions kOptions{
    .scale = 1, .origin = RenderOrigin::bottomLeft, .background = std::nullopt};

bool isPlainContainer(const Layer& root) {
  return !root.superlayer() && !root.isHidden() && root.opacity() >= 1 && !root.mask() &&
         root.shadowOpacity() <= 0 && root.borderWidth() <= 0 && !root.contents() &&
         root.transform().isIdentity() && root.sublayerTransform().isIdentity();
}

bool isPlainVideoLayer(const Layer& layer) {
  const bool roundedCorners = layer.cornerRadius() > 0 && layer.masksToBounds();
  return !layer.isHidden() && !layer.mask() && layer.shadowOpacity() <= 0 &&
         layer.borderWidth() <= 0 && layer.sublayers().empty() && layer.transform().isIdentity() &&
         layer.contentsGravity() == ContentsGravity::resize &&
         layer.contentsRect() == Rect(0, 0, 1, 1) &&
         (!roundedCorners || layer.maskedCorners() == CornerMaskSet::all());
}

// Changes layers for one drawing and puts everything back afterwards.
class Changes {
 public:
  ~Changes() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) (*it)();
  }
  void hide(Layer& layer) {
    const bool was = layer.isHidden();
    layer.setHidden(true);
    undo_.push_back([&layer, was] { layer.setHidden(was); });
  }
  void clearBackground(Layer& layer) {
    auto was = layer.backgroundColor();
    layer.setBackgroundColor(std::nullopt);
    undo_.push_back([&layer, was] { layer.setBackgroundColor(was); });
  }
  void showAsProbe(Layer& layer) {
    auto contents = layer.contents();
    auto background = layer.backgroundColor();
    const double radius = layer.cornerRadius();
    const float opacity = layer.opacity();
    layer.setContents(std::nullopt);
    layer.setBackgroundColor(Color::white());
    layer.setCornerRadius(0);
    layer.setOpacity(1);
    undo_.push_back([&layer, contents, background, radius, opacity] {
      layer.setContents(contents);
      layer.setBackgroundColor(background);
      layer.setCornerRadius(radius);
      layer.setOpacity(opacity);
    });
  }

 private:
  std::vector<std::function<void()>> undo_;
};

bool paintsAnything(const Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint32_t* row = bitmap.row(y);
    for (int x = 0; x < bitmap.width(); ++x) {
      if (row[x] >> 24) return true;
    }
  }
  return false;
}

std::optional<Rect> paintedRect(const Bitmap& bitmap) {
  int minX = bitmap.width(), minY = bitmap.height(), maxX = -1, maxY = -1;
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint32_t* row = bitmap.row(y);
    for (int x = 0; x < bitmap.width(); ++x) {
      if ((row[x] >> 24) < 128) continue;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  if (maxX < 0) return std::nullopt;
  return Rect(minX, minY, maxX - minX + 1, maxY - minY + 1);
}

}  // namespace

Result<std::shared_ptr<OverlayPlan>> prepareOverlay(const VideoCompositionCoreAnimationTool& tool,
                                                    int width, int height) {
  const auto& root = tool.animationLayer();
  const auto& video = tool.videoLayer();
  if (!root || !video)
    return failure(Error(MediaError::invalidComposition, "the animation tool has no layers"));
  if (!video->isSelfOrAncestor(root.get())) {
    return failure(Error(MediaError::invalidComposition,
                         "the video layer is not in the animation layer's tree"));
  }
  auto plan = std::make_shared<OverlayPlan>();
  const auto& siblings = root->sublayers();
  const bool flat = std::all_of(siblings.begin(), siblings.end(),
                                [](const auto& layer) { return layer->zPosition() == 0; });
  if (video->superlayer() == root && isPlainContainer(*root) && isPlainVideoLayer(*video) && flat) {
    std::size_t index = 0;
    while (siblings[index] != video) ++index;
    {
      Changes changes;
      for (const auto& sibling : siblings) {
        if (sibling != video) changes.hide(*sibling);
      }
      changes.clearBackground(*root);
      changes.showAsProbe(*video);
      auto rect = paintedRect(LayerRenderer::render(*root, width, height, kOptions));
      if (!rect)
        return failure(Error(MediaError::invalidComposition, "the video layer is not visible"));
      plan->videoRect = *rect;
    }
    {
      Changes changes;
      for (std::size_t i = index; i < siblings.size(); ++i) changes.hide(*siblings[i]);
      Bitmap below = LayerRenderer::render(*root, width, height, kOptions);
      if (paintsAnything(below)) plan->below = std::move(below);
    }
    {
      Changes changes;
      for (std::size_t i = 0; i <= index; ++i) changes.hide(*siblings[i]);
      changes.clearBackground(*root);
      Bitmap above = LayerRenderer::render(*root, width, height, kOptions);
      if (paintsAnything(above)) plan->above = std::move(above);
    }
    plan->videoOpacity = video->opacity();
    plan->videoCornerRadius = video->masksToBounds() ? video->cornerRadius() : 0;
    plan->split = true;
    return plan;
  }
  plan->videoLayer = video;
  plan->tree = std::make_shared<PreRenderedLayerTree>(
      root, std::vector<std::shared_ptr<const Layer>>{video}, width, height, kOptions);
  return plan;
}

}  // namespace velmoradine::media
