#include "velmoradine/platform/media/image_generator.hpp"

#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"

namespace velmoradine {

namespace {

// The segment of `track` that shows `time`, clamped to the first and last.
const TrackSegment* segmentAt(const AssetTrack& track, const MediaTime& time) {
  const TrackSegment* chosen = nullptr;
  for (const auto& segment : track.segments) {
    if (segment.isEmpty()) continue;
    if (!chosen) chosen = &segment;
    if (!(time < segment.target.start)) chosen = &segment;
  }
  return chosen;
}

}  // namespace

Result<Bitmap> AssetImageGenerator::copyImage(const MediaTime& requestedTime,
                                              MediaTime* actualTime) const {
  if (const auto* url = dynamic_cast<const URLAsset*>(asset_.get())) {
    if (auto error = url->loadError()) return failure(*error);
  }
  auto tracks = asset_->tracksWithMediaType(MediaType::video);
  if (tracks.empty()) return failure(Error(MediaError::noVideoTrack));
  const AssetTrack& track = tracks.front();
  const TrackSegment* segment = segmentAt(track, requestedTime);
  if (!segment) return failure(Error(MediaError::noVideoTrack));
  const MediaTime offset = maximum(requestedTime, segment->target.start) - segment->target.start;
  const MediaTime sourceTime = segment->source.start + minimum(offset, segment->source.duration);
  const int rotation =
      appliesPreferredTrackTransform ? media::transformRotation(track.preferredTransform) : 0;

  // The opening frame is what previews ask for: one decoder thread and a
  // drained first packet answer it without decoding a reordering window.
  if (!(MediaTime::zero() < sourceTime)) {
    VELMORADINE_ASSIGN_OR_RETURN(
        auto reader, media::VideoReader::open(segment->sourcePath,
                                              {.threads = 1, .streamIndex = segment->streamIndex}));
    VELMORADINE_ASSIGN_OR_RETURN(AVFrame * frame, reader->firstFrameQuickly());
    if (frame) {
      if (actualTime) *actualTime = segment->target.start;
      return media::toBGRA(frame, rotation);
    }
  }

  VELMORADINE_ASSIGN_OR_RETURN(
      auto reader, media::VideoReader::open(segment->sourcePath,
                                            {.threads = 0, .streamIndex = segment->streamIndex}));
  VELMORADINE_TRY(reader->seek(sourceTime));
  media::FramePtr shown;
  MediaTime shownTime;
  while (true) {
    VELMORADINE_ASSIGN_OR_RETURN(AVFrame * frame, reader->nextFrame());
    if (!frame) break;
    const MediaTime time = reader->frameTime(frame);
    if (shown && time.isValid() && sourceTime < time) break;
    shown = media::referenceFrame(frame);
    shownTime = time;
    if (!time.isValid() || !(time < sourceTime)) break;
  }
  if (!shown) return failure(Error(MediaError::decodeFailed, "no frame could be decoded"));
  if (actualTime) *actualTime = segment->target.start + (shownTime - segment->source.start);
  return media::toBGRA(shown.get(), rotation);
}

}  // namespace velmoradine
