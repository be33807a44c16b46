#include "velmoradine/platform/media/video_composition.hpp"

#include <algorithm>

#include "velmoradine/platform/media/composition.hpp"

namespace velmoradine {

std::shared_ptr<MutableVideoCompositionLayerInstruction>
MutableVideoCompositionLayerInstruction::make(int trackID) {
  return std::make_shared<MutableVideoCompositionLayerInstruction>(trackID);
}

std::shared_ptr<MutableVideoCompositionLayerInstruction>
MutableVideoCompositionLayerInstruction::make(const AssetTrack& track) {
  return make(track.trackID);
}

std::shared_ptr<MutableVideoCompositionLayerInstruction>
MutableVideoCompositionLayerInstruction::make(const MutableCompositionTrack& track) {
  return make(track.trackID());
}

template <typename T>
void MutableVideoCompositionLayerInstruction::insert(std::vector<Change<T>>& changes,
                                                     Change<T> change) {
  auto position = std::upper_bound(
      changes.begin(), changes.end(), change.start,
      [](const MediaTime& time, const Change<T>& existing) { return time < existing.start; });
  changes.insert(position, std::move(change));
}

namespace {

AffineTransform interpolate(const AffineTransform& from, const AffineTransform& to,
                            double fraction) {
  auto mix = [fraction](double a, double b) { return a + (b - a) * fraction; };
  return {mix(from.a, to.a), mix(from.b, to.b),   mix(from.c, to.c),
          mix(from.d, to.d), mix(from.tx, to.tx), mix(from.ty, to.ty)};
}

double interpolate(double from, double to, double fraction) {
  return from + (to - from) * fraction;
}

}  // namespace

template <typename T>
T MutableVideoCompositionLayerInstruction::valueAt(const std::vector<Change<T>>& changes,
                                                   const MediaTime& time, T initial) {
  T value = initial;
  for (const auto& change : changes) {
    if (time < change.start) break;
    if (time < change.end) {
      const double fraction =
          (time - change.start).seconds() / (change.end - change.start).seconds();
      value = interpolate(change.from, change.to, fraction);
    } else {
      value = change.to;
    }
  }
  return value;
}

void MutableVideoCompositionLayerInstruction::setTransform(const AffineTransform& transform,
                                                           const MediaTime& time) {
  insert(transforms_, {time, time, transform, transform});
}

void MutableVideoCompositionLayerInstruction::setTransformRamp(const AffineTransform& from,
                                                               const AffineTransform& to,
                                                               const TimeRange& range) {
  insert(transforms_, {range.start, range.end(), from, to});
}

void MutableVideoCompositionLayerInstruction::setOpacity(double opacity, const MediaTime& time) {
  insert(opacities_, {time, time, opacity, opacity});
}

void MutableVideoCompositionLayerInstruction::setOpacityRamp(double from, double to,
                                                             const TimeRange& range) {
  insert(opacities_, {range.start, range.end(), from, to});
}

AffineTransform MutableVideoCompositionLayerInstruction::transformAt(const MediaTime& time) const {
  return valueAt(transforms_, time, AffineTransform::identity());
}

double MutableVideoCompositionLayerInstruction::opacityAt(const MediaTime& time) const {
  return valueAt(opacities_, time, 1.0);
}

bool MutableVideoCompositionLayerInstruction::isPlainDuring(const TimeRange& range) const {
  if (!transformAt(range.start).isIdentity() || opacityAt(range.start) != 1.0) return false;
  for (const auto& change : transforms_) {
    if (range.containsTime(change.start) && !(change.from.isIdentity() && change.to.isIdentity()))
      return false;
  }
  for (const auto& change : opacities_) {
    if (range.containsTime(change.start) && !(change.from == 1.0 && change.to == 1.0)) return false;
  }
  return true;
}

const MutableVideoCompositionInstruction* MutableVideoComposition::instructionAt(
    const MediaTime& time) const {
  for (const auto& instruction : instructions) {
    if (instruction && instruction->timeRange.containsTime(time)) return instruction.get();
  }
  return nullptr;
}

}  // namespace velmoradine
