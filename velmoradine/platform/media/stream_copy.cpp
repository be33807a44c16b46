#include <cstring>

#include "velmoradine/platform/media/encoder.hpp"
#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/render_pipeline.hpp"

namespace velmoradine::media {
namespace {

Error notCopyable(const char* reason) {
  return Error(MediaError::invalidComposition, reason);
}

// Whether an H.264 packet in length-prefixed form holds an IDR slice.
bool holdsIDR(const AVPacket* packet, const AVCodecParameters* parameters) {
  if (parameters->extradata_size < 5 || parameters->extradata[0] != 1) return false;
  const int lengthSize = (parameters->extradata[4] & 3) + 1;
  int offset = 0;
  while (offset + lengthSize <= packet->size) {
    std::uint32_t length = 0;
    for (int i = 0; i < lengthSize; ++i) length = length << 8 | packet->data[offset + i];
    offset += lengthSize;
    if (length == 0 || length > static_cast<std::uint32_t>(packet->size - offset)) return false;
    if ((packet->data[offset] & 0x1f) == 5) return true;
    offset += static_cast<int>(length);
  }
  return false;
}

bool sameParameters(const AVStream* a, const AVStream* b) {
  const AVCodecParameters* x = a->codecpar;
  const AVCodecParameters* y = b->codecpar;
  return x->codec_id == y->codec_id && x->width == y->width && x->height == y->height &&
         x->format == y->format && x->profile == y->profile && x->level == y->level &&
         x->extradata_size == y->extradata_size &&
         std::memcmp(x->extradata, y->extradata, static_cast<std::size_t>(x->extradata_size)) ==
             0 &&
         av_cmp_q(x->sample_aspect_ratio, y->sample_aspect_ratio) == 0 &&
         x->color_range == y->color_range && x->color_space == y->color_space &&
         x->color_primaries == y->color_primaries && x->color_trc == y->color_trc &&
         x->field_order == y->field_order && x->video_delay == y->video_delay &&
         av_cmp_q(a->time_base, b->time_base) == 0 &&
         av_cmp_q(a->avg_frame_rate, b->avg_frame_rate) == 0 &&
         streamRotation(a) == streamRotation(b);
}

// The length of one frame in the stream's time base, when it is a whole number.
std::int64_t frameTicks(const AVStream* stream) {
  const AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  const std::int64_t numerator = std::int64_t(stream->time_base.den) * rate.den;
  const std::int64_t denominator = std::int64_t(stream->time_base.num) * rate.num;
  if (denominator <= 0 || numerator % denominator != 0) return 0;
  return numerator / denominator;
}

Result<void> checkComposition(const ExportJob& job, const AVStream* stream) {
  const auto& composition = *job.videoComposition;
  const AVCodecParameters* parameters = stream->codecpar;
  if (composition.animationTool) return failure(notCopyable("layers are drawn over the video"));
  if (composition.renderSize.width != parameters->width ||
      composition.renderSize.height != parameters->height) {
    return failure(notCopyable("the render size differs from the sources"));
  }
  if (composition.frameDuration !=
      MediaTime(stream->avg_frame_rate.den, stream->avg_frame_rate.num)) {
    return failure(notCopyable("the frame duration differs from the sources"));
  }
  if (streamRotation(stream) != 0) return failure(notCopyable("the sources are rotated"));
  // Every moment of the timeline must show the track untransformed and opaque.
  MediaTime covered = MediaTime::zero();
  while (covered < job.duration) {
    const auto* instruction = composition.instructionAt(covered);
    if (!instruction) return failure(notCopyable("the instructions leave a gap"));
    const MutableVideoCompositionLayerInstruction* effective = nullptr;
    for (const auto& layer : instruction->layerInstructions) {
      if (layer && layer->trackID == job.tracks.front().trackID) {
        effective = layer.get();
        break;
      }
    }
    const TimeRange span = instruction->timeRange.intersection({MediaTime::zero(), job.duration});
    if (!effective || !effective->isPlainDuring(span)) {
      return failure(notCopyable("the track is transformed, faded or hidden"));
    }
    if (!(covered < span.end())) return failure(notCopyable("the instructions leave a gap"));
    covered = span.end();
  }
  return {};
}

}  // namespace

Result<void> checkStreamCopy(const ExportJob& job, bool requireWholeTracks) {
  if (job.tracks.size() != 1) return failure(notCopyable("more than one video track"));
  const auto& segments = job.tracks.front().segments;
  if (segments.empty()) return failure(notCopyable("the track is empty"));
  FormatInput reference;
  const AVStream* first = nullptr;
  MediaTime expectedStart = MediaTime::zero();
  for (const auto& segment : segments) {
    if (segment.isEmpty()) return failure(notCopyable("the track has a gap"));
    if (segment.target.start != expectedStart)
      return failure(notCopyable("the segments are not in sequence"));
    expectedStart = segment.target.end();
    VELMORADINE_ASSIGN_OR_RETURN(auto input, openInput(segment.sourcePath, true));
    if (segment.streamIndex < 0 || segment.streamIndex >= static_cast<int>(input->nb_streams)) {
      return failure(Error(MediaError::noVideoTrack));
    }
    const AVStream* stream = input->streams[segment.streamIndex];
    if (stream->codecpar->codec_id != AV_CODEC_ID_H264)
      return failure(notCopyable("a source is not H.264"));
    const MediaTime whole = streamDuration(input.get(), stream);
    if (segment.source.start != MediaTime::zero() || segment.source.duration != whole) {
      if (requireWholeTracks) return failure(notCopyable("a segment is part of a track"));
      return failure(notCopyable("pass-through copies whole tracks only"));
    }
    if (frameTicks(stream) == 0) return failure(notCopyable("a source has no constant frame rate"));
    if (first && !sameParameters(first, stream))
      return failure(notCopyable("the sources' parameters differ"));
    auto packet = makePacket();
    int result;
    while ((result = av_read_frame(input.get(), packet.get())) >= 0 &&
           packet->stream_index != segment.streamIndex) {
      av_packet_unref(packet.get());
    }
    if (result < 0) return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
    const bool idr = (packet->flags & AV_PKT_FLAG_KEY) && holdsIDR(packet.get(), stream->codecpar);
    if (!idr) return failure(notCopyable("a source does not open with an IDR picture"));
    if (!first) {
      reference = std::move(input);
      first = stream;
    }
  }
  if (job.videoComposition) return checkComposition(job, first);
  return {};
}

Result<void> streamCopyExport(const ExportJob& job) {
  const auto& segments = job.tracks.front().segments;
  OutputFile output;
  std::int64_t offset = 0;
  std::int64_t totalFrames = 0;
  const double totalSeconds = job.duration.seconds();
  for (std::size_t index = 0; index < segments.size(); ++index) {
    const TrackSegment& segment = segments[index];
    VELMORADINE_ASSIGN_OR_RETURN(auto input, openInput(segment.sourcePath));
    AVStream* stream = input->streams[segment.streamIndex];
    const std::int64_t ticks = frameTicks(stream);
    if (index == 0) {
      VELMORADINE_TRY(output.open(job.output, stream->codecpar, stream->time_base,
                                  stream->avg_frame_rate, job.optimizeForNetworkUse,
                                  job.videoComposition ? 0 : streamRotation(stream)));
    }
    const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    auto packet = makePacket();
    std::int64_t frames = 0;
    while (true) {
      if (job.cancelled && *job.cancelled) return failure(Error(MediaError::cancelled));
      const int result = av_read_frame(input.get(), packet.get());
      if (result == AVERROR_EOF) break;
      if (result < 0) return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
      if (packet->stream_index != segment.streamIndex) {
        av_packet_unref(packet.get());
        continue;
      }
      if ((packet->flags & AV_PKT_FLAG_CORRUPT) || packet->pts == AV_NOPTS_VALUE ||
          packet->dts == AV_NOPTS_VALUE) {
        return failure(Error(MediaError::decodeFailed, "a source holds a damaged packet"));
      }
      if (packet->duration == 0) packet->duration = ticks;
      if (packet->duration != ticks)
        return failure(notCopyable("a source has irregular frame times"));
      packet->pts += offset - start;
      packet->dts += offset - start;
      if (auto written = output.write(packet.get(), stream->time_base); !written) return written;
      av_packet_unref(packet.get());
      ++frames;
      ++totalFrames;
      if (job.progress && totalSeconds > 0) {
        job.progress(static_cast<float>(std::min(
            0.99, double(offset + frames * ticks) * av_q2d(stream->time_base) / totalSeconds)));
      }
    }
    const std::int64_t length = streamTimestamp(stream, segment.source.duration) - start;
    if (frames * ticks != length)
      return failure(notCopyable("a source's frames do not fill its length"));
    offset += length;
  }
  if (totalFrames == 0) return failure(notCopyable("no frames"));
  return output.finish();
}

}  // namespace velmoradine::media
