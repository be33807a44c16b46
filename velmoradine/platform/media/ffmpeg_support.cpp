#include "velmoradine/platform/media/ffmpeg_support.hpp"

#include <cmath>
#include <mutex>
#include <numbers>
#include <string_view>
#include <system_error>

extern "C" {
#include <libavutil/log.h>
}

namespace velmoradine::media {

__extension__ typedef __int128 Wide;

void quietFFmpegLogging() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

FramePtr makeFrame() {
  return FramePtr(av_frame_alloc());
}
PacketPtr makePacket() {
  return PacketPtr(av_packet_alloc());
}
FramePtr referenceFrame(const AVFrame* frame) {
  return FramePtr(av_frame_clone(frame));
}

namespace {

bool isMP4Family(const AVFormatContext* context) {
  return std::string_view(context->iformat->name).find("mp4") != std::string_view::npos;
}

// FFmpeg reads image files as one-frame videos; they are pictures, not video.
bool isStillImage(const AVInputFormat* format) {
  const std::string_view name = format->name;
  return name == "image2" || name == "image2pipe" || name.ends_with("_pipe") || name == "gif" ||
         name == "apng";
}

// Whether the container's header already says all a reader needs.
bool headerDescribesStreams(const AVFormatContext* context) {
  if (!isMP4Family(context)) return false;
  bool anyVideo = false;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVCodecParameters* parameters = context->streams[i]->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    anyVideo = true;
    if (parameters->codec_id == AV_CODEC_ID_NONE || parameters->width <= 0 ||
        parameters->height <= 0) {
      return false;
    }
  }
  return anyVideo;
}

}  // namespace

Result<FormatInput> openInput(const std::filesystem::path& path, bool analyzeStreams) {
  quietFFmpegLogging();
  std::error_code status;
  if (!std::filesystem::exists(path, status))
    return failure(Error(MediaError::fileNotFound, path.string()));
  if (!std::filesystem::is_regular_file(path, status) ||
      std::filesystem::file_size(path, status) == 0) {
    return failure(Error(MediaError::notMedia, path.string()));
  }
  AVFormatContext* context = nullptr;
  int result = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (result < 0) return failure(Error(MediaError::notMedia, ffmpegErrorText(result)));
  FormatInput input(context);
  if (isStillImage(context->iformat)) {
    return failure(Error(MediaError::notMedia, "a still image, not a video"));
  }
  if (!analyzeStreams && headerDescribesStreams(context)) return input;
  result = avformat_find_stream_info(context, nullptr);
  if (result < 0) return failure(Error(MediaError::notMedia, ffmpegErrorText(result)));
  return input;
}

std::optional<StoredSamples> storedSamples(const AVFormatContext* format, AVStream* stream) {
  if (!isMP4Family(format) || !format->pb) return std::nullopt;
  const std::int64_t fileSize = avio_size(format->pb);
  const int count = avformat_index_get_entries_count(stream);
  if (fileSize <= 0 || count <= 0) return std::nullopt;
  StoredSamples samples;
  samples.indexed = count;
  const std::int64_t start = avformat_index_get_entry(stream, 0)->timestamp;
  std::int64_t end = AV_NOPTS_VALUE;
  for (int i = 0; i < count; ++i) {
    const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
    if (entry->pos >= 0 && entry->pos + entry->size <= fileSize) {
      ++samples.present;
    } else if (end == AV_NOPTS_VALUE) {
      end = entry->timestamp;
    }
  }
  if (end != AV_NOPTS_VALUE && stream->time_base.num > 0 && stream->time_base.den > 0) {
    samples.presentDuration =
        MediaTime((end - start) * stream->time_base.num, stream->time_base.den);
  }
  return samples;
}

MediaTime streamTime(const AVStream* stream, std::int64_t timestamp) {
  if (timestamp == AV_NOPTS_VALUE) return MediaTime::invalid();
  const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  const Wide value = (Wide(timestamp) - start) * stream->time_base.num;
  if (stream->time_base.den <= 0 || value > INT64_MAX || value < INT64_MIN)
    return MediaTime::invalid();
  return MediaTime(static_cast<std::int64_t>(value), stream->time_base.den);
}

MediaTime streamDuration(const AVFormatContext* format, const AVStream* stream) {
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 && stream->time_base.num > 0) {
    return MediaTime(stream->duration * stream->time_base.num, stream->time_base.den);
  }
  if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
    return MediaTime(format->duration, AV_TIME_BASE);
  }
  return MediaTime::zero();
}

std::int64_t streamTimestamp(const AVStream* stream, const MediaTime& time) {
  const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  if (!time.isNumeric() || stream->time_base.num <= 0) return start;
  const Wide scaled = Wide(time.value()) * stream->time_base.den;
  const Wide divisor = Wide(time.timescale()) * stream->time_base.num;
  Wide quotient = scaled / divisor;
  if (scaled % divisor != 0 && scaled < 0) --quotient;
  return static_cast<std::int64_t>(quotient) + start;
}

int streamRotation(const AVStream* stream) {
  const auto* matrix = reinterpret_cast<const std::int32_t*>(
      av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
  if (!matrix) return 0;
  const double counterClockwise = av_display_rotation_get(matrix);
  if (std::isnan(counterClockwise)) return 0;
  int clockwise = static_cast<int>(std::lround(-counterClockwise / 90.0)) * 90;
  clockwise %= 360;
  if (clockwise < 0) clockwise += 360;
  return clockwise;
}

AffineTransform rotationTransform(int degrees, double width, double height) {
  switch (degrees) {
    case 90:
      return {0, 1, -1, 0, height, 0};
    case 180:
      return {-1, 0, 0, -1, width, height};
    case 270:
      return {0, -1, 1, 0, 0, width};
    default:
      return AffineTransform::identity();
  }
}

int transformRotation(const AffineTransform& transform) {
  if (transform.a > 0.5 && transform.d > 0.5) return 0;
  if (transform.b > 0.5 && transform.c < -0.5) return 90;
  if (transform.a < -0.5 && transform.d < -0.5) return 180;
  if (transform.b < -0.5 && transform.c > 0.5) return 270;
  return 0;
}

Result<std::unique_ptr<VideoReader>> VideoReader::open(const std::filesystem::path& path,
                                                       Options options) {
  std::unique_ptr<VideoReader> reader(new VideoReader());
  reader->path_ = path;
  VELMORADINE_ASSIGN_OR_RETURN(reader->format_, openInput(path));
  AVFormatContext* format = reader->format_.get();
  const AVCodec* decoder = nullptr;
  int index = options.streamIndex;
  if (index < 0) {
    index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index < 0) return failure(Error(MediaError::noVideoTrack, path.string()));
  } else if (index >= static_cast<int>(format->nb_streams) ||
             format->streams[index]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
    return failure(Error(MediaError::noVideoTrack, path.string()));
  }
  AVStream* stream = format->streams[index];
  if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) {
    return failure(Error(MediaError::noVideoTrack, path.string()));
  }
  decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!decoder) return failure(Error(MediaError::decodeFailed, "no decoder for the stream"));
  reader->codec_.reset(avcodec_alloc_context3(decoder));
  AVCodecContext* codec = reader->codec_.get();
  int result = avcodec_parameters_to_context(codec, stream->codecpar);
  if (result < 0) return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
  if (codec->width <= 0 || codec->height <= 0) {
    return failure(Error(MediaError::decodeFailed, "the stream has no picture size"));
  }
  codec->thread_count = options.threads;
  codec->pkt_timebase = stream->time_base;
  // Damaged pictures come out flagged and are refused in nextFrame(), so
  // none is concealed into a plausible picture. The decoder is not told to
  // stop at the first error (AV_EF_EXPLODE): pictures that the edit list
  // drops are decoded only to be thrown away, and in a cut made at an
  // open-GOP I picture the leading ones lack their references; with frame
  // threads one such error would fail every picture after it.
  result = avcodec_open2(codec, decoder, nullptr);
  if (result < 0) return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    format->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
  reader->stream_ = stream;
  reader->packet_ = makePacket();
  reader->frame_ = makeFrame();
  return reader;
}

MediaTime VideoReader::frameTime(const AVFrame* frame) const {
  std::int64_t timestamp = frame->best_effort_timestamp;
  if (timestamp == AV_NOPTS_VALUE) timestamp = frame->pts;
  return streamTime(stream_, timestamp);
}

Result<void> VideoReader::seek(const MediaTime& time) {
  const std::int64_t target = streamTimestamp(stream_, time);
  int result = av_seek_frame(format_.get(), stream_->index, target, AVSEEK_FLAG_BACKWARD);
  if (result < 0) {
    result = av_seek_frame(format_.get(), stream_->index, target,
                           AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
  }
  if (result < 0) return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
  avcodec_flush_buffers(codec_.get());
  draining_ = false;
  return {};
}

// Feeds the decoder one packet of the stream; false once the file has ended
// and the decoder was told to drain.
Result<bool> VideoReader::sendNextPacket() {
  if (draining_) return false;
  while (true) {
    av_packet_unref(packet_.get());
    int result = av_read_frame(format_.get(), packet_.get());
    if (result == AVERROR_EOF) {
      draining_ = true;
      avcodec_send_packet(codec_.get(), nullptr);
      return false;
    }
    if (result < 0) return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
    if (packet_->stream_index != stream_->index) continue;
    if (packet_->flags & AV_PKT_FLAG_CORRUPT) {
      return failure(Error(MediaError::decodeFailed, "the stream holds a damaged packet"));
    }
    result = avcodec_send_packet(codec_.get(), packet_.get());
    if (result < 0 && result != AVERROR(EAGAIN)) {
      return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
    }
    return true;
  }
}

Result<AVFrame*> VideoReader::nextFrame() {
  while (true) {
    av_frame_unref(frame_.get());
    int result = avcodec_receive_frame(codec_.get(), frame_.get());
    if (result == 0) {
      if (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) {
        return failure(Error(MediaError::decodeFailed, "the stream holds a damaged picture"));
      }
      return frame_.get();
    }
    if (result == AVERROR_EOF) return static_cast<AVFrame*>(nullptr);
    if (result != AVERROR(EAGAIN)) {
      return failure(Error(MediaError::decodeFailed, ffmpegErrorText(result)));
    }
    VELMORADINE_TRY(sendNextPacket());
  }
}

Result<AVFrame*> VideoReader::firstFrameQuickly() {
  VELMORADINE_ASSIGN_OR_RETURN(const bool sent, sendNextPacket());
  if (sent) {
    draining_ = true;
    avcodec_send_packet(codec_.get(), nullptr);
  }
  return nextFrame();
}

}  // namespace velmoradine::media
