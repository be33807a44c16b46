#include "velmoradine/platform/media/composition.hpp"

#include <algorithm>

#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine {

TimeRange MutableCompositionTrack::timeRange() const {
  if (segments_.empty()) return TimeRange::zero();
  return TimeRange::fromStartToEnd(MediaTime::zero(), segments_.back().target.end());
}

// Makes `time` a boundary between segments.
void MutableCompositionTrack::splitAt(const MediaTime& time) {
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    TrackSegment& segment = segments_[i];
    if (!(segment.target.start < time) || !(time < segment.target.end())) continue;
    const MediaTime head = time - segment.target.start;
    TrackSegment tail = segment;
    tail.target = TimeRange::fromStartToEnd(time, segment.target.end());
    segment.target.duration = head;
    if (!segment.isEmpty()) {
      tail.source = TimeRange::fromStartToEnd(segment.source.start + head, segment.source.end());
      segment.source.duration = head;
    }
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
    return;
  }
}

Result<void> MutableCompositionTrack::insertTimeRange(const TimeRange& timeRange,
                                                      const AssetTrack& track,
                                                      const MediaTime& startTime) {
  if (track.mediaType != mediaType_ || track.segments.empty()) {
    return failure(Error(MediaError::invalidComposition, "the track does not fit this track"));
  }
  if (!timeRange.isValid() || !timeRange.start.isNumeric() || !timeRange.duration.isNumeric() ||
      timeRange.isEmpty() || !track.timeRange.containsTimeRange(timeRange) ||
      !startTime.isNumeric() || startTime < MediaTime::zero()) {
    return failure(Error(MediaError::invalidTimeRange));
  }
  // The pieces of the source track that `timeRange` covers, placed from startTime.
  std::vector<TrackSegment> pieces;
  for (const auto& segment : track.segments) {
    const TimeRange overlap = segment.target.intersection(timeRange);
    if (!overlap.isValid() || overlap.isEmpty()) continue;
    TrackSegment piece = segment;
    piece.target = {startTime + (overlap.start - timeRange.start), overlap.duration};
    if (!segment.isEmpty()) {
      piece.source = {segment.source.start + (overlap.start - segment.target.start),
                      overlap.duration};
    }
    pieces.push_back(piece);
  }
  if (pieces.empty()) return failure(Error(MediaError::invalidTimeRange));

  const MediaTime end = this->timeRange().end();
  if (end < startTime) segments_.push_back({{}, -1, {}, TimeRange::fromStartToEnd(end, startTime)});
  splitAt(startTime);
  for (auto& segment : segments_) {
    if (!(segment.target.start < startTime)) segment.target.start += timeRange.duration;
  }
  auto position = std::find_if(
      segments_.begin(), segments_.end(),
      [&](const TrackSegment& segment) { return !(segment.target.start < startTime); });
  segments_.insert(position, pieces.begin(), pieces.end());

  if (naturalSize_ == Size{}) naturalSize_ = track.naturalSize;
  if (nominalFrameRate_ == 0) {
    nominalFrameRate_ = track.nominalFrameRate;
    minFrameDuration_ = track.minFrameDuration;
  }
  if (codecName_.empty()) codecName_ = track.codecName;
  return {};
}

void MutableCompositionTrack::insertEmptyTimeRange(const TimeRange& range) {
  if (!range.isValid() || range.isEmpty() || range.start < MediaTime::zero()) return;
  const MediaTime end = timeRange().end();
  if (end < range.start)
    segments_.push_back({{}, -1, {}, TimeRange::fromStartToEnd(end, range.start)});
  splitAt(range.start);
  for (auto& segment : segments_) {
    if (!(segment.target.start < range.start)) segment.target.start += range.duration;
  }
  auto position = std::find_if(
      segments_.begin(), segments_.end(),
      [&](const TrackSegment& segment) { return !(segment.target.start < range.start); });
  segments_.insert(position, TrackSegment{{}, -1, {}, range});
}

AssetTrack MutableCompositionTrack::snapshot() const {
  AssetTrack track;
  track.trackID = trackID_;
  track.mediaType = mediaType_;
  track.naturalSize = naturalSize_;
  track.preferredTransform = preferredTransform;
  track.nominalFrameRate = nominalFrameRate_;
  track.minFrameDuration = minFrameDuration_;
  track.codecName = codecName_;
  track.timeRange = timeRange();
  track.segments = segments_;
  return track;
}

std::shared_ptr<MutableCompositionTrack> MutableComposition::addMutableTrack(MediaType mediaType,
                                                                             int preferredTrackID) {
  int trackID = preferredTrackID;
  auto used = [&](int id) {
    return std::any_of(tracks_.begin(), tracks_.end(),
                       [&](const auto& track) { return track->trackID() == id; });
  };
  if (trackID == kInvalidTrackID) {
    trackID = 1;
    while (used(trackID)) ++trackID;
  } else if (trackID < 0 || used(trackID)) {
    return nullptr;
  }
  tracks_.push_back(std::make_shared<MutableCompositionTrack>(trackID, mediaType));
  return tracks_.back();
}

MediaTime MutableComposition::duration() const {
  MediaTime longest = MediaTime::zero();
  for (const auto& track : tracks_) longest = maximum(longest, track->timeRange().end());
  return longest;
}

std::vector<AssetTrack> MutableComposition::tracks() const {
  std::vector<AssetTrack> snapshots;
  for (const auto& track : tracks_) snapshots.push_back(track->snapshot());
  return snapshots;
}

}  // namespace velmoradine
