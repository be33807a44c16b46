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
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/media_geometry.hpp"
#include "velmoradine/platform/media/media_time.hpp"
#include "velmoradine/platform/media/pixel_buffer.hpp"

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
  void setTransform(const media::AffineTransform& transform, const MediaTime& time);
  void setTransformRamp(const media::AffineTransform& from, const media::AffineTransform& to,
                        const TimeRange& range);
  void setOpacity(double opacity, const MediaTime& time);
  void setOpacityRamp(double from, double to, const TimeRange& range);

  // Before the first change: identity and fully opaque; after the last: its value.
  media::AffineTransform transformAt(const MediaTime& time) const;
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
  std::vector<Change<media::AffineTransform>> transforms_;
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

// A layer tree around the video, as the export needs it: drawn once into the
// part below the video and the part above it, with the place of the video.
class VideoOverlay {
 public:
  struct Prepared {
    PixelBuffer under;       // render size; empty when nothing is drawn below
    PixelBuffer over;        // render size; empty when nothing is drawn above
    media::Rect videoFrame;  // where the composed video goes, in output pixels
    double videoOpacity = 1;
    double videoCornerRadius = 0;
  };
  virtual ~VideoOverlay() = default;
  virtual Result<Prepared> prepare(const media::Size& renderSize) const = 0;
};

class VideoCompositionCoreAnimationTool {
 public:
  explicit VideoCompositionCoreAnimationTool(std::shared_ptr<const VideoOverlay> overlay)
      : overlay_(std::move(overlay)) {}
  const std::shared_ptr<const VideoOverlay>& overlay() const { return overlay_; }

 private:
  std::shared_ptr<const VideoOverlay> overlay_;
};

struct MutableVideoComposition {
  static std::shared_ptr<MutableVideoComposition> make() {
    return std::make_shared<MutableVideoComposition>();
  }
  MediaTime frameDuration = MediaTime(1, 30);
  media::Size renderSize;
  std::vector<std::shared_ptr<MutableVideoCompositionInstruction>> instructions;
  std::shared_ptr<VideoCompositionCoreAnimationTool> animationTool;

  // The instruction in force at `time`, if any.
  const MutableVideoCompositionInstruction* instructionAt(const MediaTime& time) const;
};

}  // namespace velmoradine
