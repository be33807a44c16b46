#pragma once

// Mutable compositions: assets assembled from time ranges of other assets'
// tracks. Inserting a range at a time pushes whatever was at or after that
// time later by the range's duration; inserting past the end leaves an empty
// gap before the new range.
//
// Built on one thread (the caller's); export and playback take snapshots.

#include <memory>
#include <vector>

#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine {

inline constexpr int kInvalidTrackID = 0;

class MutableCompositionTrack {
 public:
  MutableCompositionTrack(int trackID, MediaType mediaType)
      : trackID_(trackID), mediaType_(mediaType) {}

  int trackID() const { return trackID_; }
  MediaType mediaType() const { return mediaType_; }
  Size naturalSize() const { return naturalSize_; }
  AffineTransform preferredTransform = AffineTransform::identity();

  // Fails with `invalidTimeRange` when `timeRange` is empty, not inside
  // `track`'s time range or `startTime` is not a valid time at or after
  // zero, and with `invalidComposition` when `track` is of another media
  // type or has no source.
  Result<void> insertTimeRange(const TimeRange& timeRange, const AssetTrack& track,
                               const MediaTime& startTime);
  // Inserts nothing for `timeRange.duration`, pushing later content along.
  void insertEmptyTimeRange(const TimeRange& timeRange);

  const std::vector<TrackSegment>& segments() const { return segments_; }
  TimeRange timeRange() const;
  AssetTrack snapshot() const;

 private:
  void splitAt(const MediaTime& time);

  int trackID_;
  MediaType mediaType_;
  Size naturalSize_;
  double nominalFrameRate_ = 0;
  MediaTime minFrameDuration_;
  std::string codecName_;
  std::vector<TrackSegment> segments_;
};

class MutableComposition final : public Asset {
 public:
  static std::shared_ptr<MutableComposition> make() {
    return std::make_shared<MutableComposition>();
  }

  // Adds an empty track. `preferredTrackID` kInvalidTrackID lets the
  // composition choose; an identifier already in use gives null.
  std::shared_ptr<MutableCompositionTrack> addMutableTrack(MediaType mediaType,
                                                           int preferredTrackID = kInvalidTrackID);
  const std::vector<std::shared_ptr<MutableCompositionTrack>>& mutableTracks() const {
    return tracks_;
  }

  MediaTime duration() const override;
  std::vector<AssetTrack> tracks() const override;

 private:
  std::vector<std::shared_ptr<MutableCompositionTrack>> tracks_;
};

}  // namespace velmoradine
