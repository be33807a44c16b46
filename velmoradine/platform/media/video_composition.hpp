#pragma once

// Video compositions: how the video tracks of a composition become pictures.
// Instructions cover time ranges; each lists layer instructions (first = on
// top) that place one track with a transform and an opacity that change at
// given times. An animation tool puts the composed video inside a layer tree,
// drawn around it.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/media_time.hpp"

namespace velmoradine {

class MutableCompositionTrack;

class MutableVideoCompositionLayerInstruction {
 public:
  static std::shared_ptr<MutableVideoCompositionLayerInstruction> make(int trackID);
  static std::shared_ptr<MutableVideoCompositionLayerInstruction> make(const AssetTrack& track);
  static std::shared_ptr<MutableVideoCompositionLayerInstruction> make(
      const MutableCompositionTrack& track);

  explicit MutableVideoCompositionLayerInstruction(int trackID) : trackID(trackID) {}
  int trackID;

  // From `time` on (until the next change) the track is drawn with `transform`.
  void setTransform(const AffineTransform& transform, const MediaTime& time);
  void setTransformRamp(const AffineTransform& from, const AffineTransform& to,
                        const TimeRange& range);
  void setOpacity(double opacity, const MediaTime& time);
  void setOpacityRamp(double from, double to, const TimeRange& range);

  // Before the first change: identity and fully opaque; after the last: its value.
  AffineTransform transformAt(const MediaTime& time) const;
  double opacityAt(const MediaTime& time) const;
  // Whether the track is drawn untransformed and opaque throughout `range`.
  bool isPlainDuring(const TimeRange& range) const;

 private:
  template <typename T>
  struct Change {
    MediaTime start;
    MediaTime end;  // equal to start for a step
    T from;
    T to;
  };
  std::vector<Change<AffineTransform>> transforms_;
  std::vector<Change<double>> opacities_;
  template <typename T>
  static T valueAt(const std::vector<Change<T>>& changes, const MediaTime& time, T initial);
  template <typename T>
  static void insert(std::vector<Change<T>>& changes, Change<T> change);
};

struct MutableVideoCompositionInstruction {
  static std::shared_ptr<MutableVideoCompositionInstruction> make() {
    return std::make_shared<MutableVideoCompositionInstruction>();
  }
  TimeRange timeRange;
  std::vector<std::shared_ptr<MutableVideoCompositionLayerInstruction>> layerInstructions;
  // 0xAARRGGBB behind the tracks; opaque black by default.
  std::uint32_t backgroundColor = 0xff000000;
};

// Puts the composed video into `videoLayer` inside the tree of
// `animationLayer` and draws the tree around it (with a bottom-left origin,
// so a root that is geometry-flipped lays out from the top). The tree must
// not change, nor be drawn elsewhere, while an export uses it; the export
// draws its static parts once, on the thread that starts the export.
class VideoCompositionCoreAnimationTool {
 public:
  static std::shared_ptr<VideoCompositionCoreAnimationTool> postProcessingAsVideoLayer(
      std::shared_ptr<Layer> videoLayer, std::shared_ptr<Layer> animationLayer) {
    return std::make_shared<VideoCompositionCoreAnimationTool>(std::move(videoLayer),
                                                               std::move(animationLayer));
  }
  VideoCompositionCoreAnimationTool(std::shared_ptr<Layer> videoLayer,
                                    std::shared_ptr<Layer> animationLayer)
      : videoLayer_(std::move(videoLayer)), animationLayer_(std::move(animationLayer)) {}

  const std::shared_ptr<Layer>& videoLayer() const { return videoLayer_; }
  const std::shared_ptr<Layer>& animationLayer() const { return animationLayer_; }

 private:
  std::shared_ptr<Layer> videoLayer_;
  std::shared_ptr<Layer> animationLayer_;
};

struct MutableVideoComposition {
  static std::shared_ptr<MutableVideoComposition> make() {
    return std::make_shared<MutableVideoComposition>();
  }
  MediaTime frameDuration = MediaTime(1, 30);
  Size renderSize;
  std::vector<std::shared_ptr<MutableVideoCompositionInstruction>> instructions;
  std::shared_ptr<VideoCompositionCoreAnimationTool> animationTool;

  // The instruction in force at `time`, if any.
  const MutableVideoCompositionInstruction* instructionAt(const MediaTime& time) const;
};

}  // namespace velmoradine
