#pragma once

// Private to the media layer: owning handles for FFmpeg objects and the
// reader that decodes one video stream of a file.

#include <filesystem>
#include <memory>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
}

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/media_error.hpp"
#include "velmoradine/platform/media/media_time.hpp"

namespace velmoradine::media {

struct FormatInputDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using FormatInput = std::unique_ptr<AVFormatContext, FormatInputDeleter>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

FramePtr makeFrame();
PacketPtr makePacket();
// A new reference to `frame`'s buffers.
FramePtr referenceFrame(const AVFrame* frame);

// Opens and probes a media file: `fileNotFound` when nothing is there,
// `notMedia` when it is not a file FFmpeg can read or is a still image
// (whatever its name says). MPEG-4 files whose
// header describes every video stream are not decoded to learn more unless
// `analyzeStreams` asks for it (a stream's reordering delay is only known
// after decoding).
Result<FormatInput> openInput(const std::filesystem::path& path, bool analyzeStreams = false);

// How much of a stream's indexed media data the file really holds.
struct StoredSamples {
  std::int64_t indexed = 0;
  std::int64_t present = 0;
  // The length of the samples present, from the decode times of the first
  // sample and of the first missing one.
  MediaTime presentDuration;
  bool isComplete() const { return present == indexed; }
};
// Compares an MPEG-4 stream's sample table with the file's size, without
// reading the samples; nothing for other containers, whose index (if any)
// does not list every sample.
std::optional<StoredSamples> storedSamples(const AVFormatContext* format, AVStream* stream);

// A stream's time as media time: (ts - start) in the stream's time base.
MediaTime streamTime(const AVStream* stream, std::int64_t timestamp);
// The length of a stream (the container's length when the stream has none).
MediaTime streamDuration(const AVFormatContext* format, const AVStream* stream);
// The stream timestamp of a media time, rounded down.
std::int64_t streamTimestamp(const AVStream* stream, const MediaTime& time);
// The clockwise display rotation of a stream, in {0, 90, 180, 270}.
int streamRotation(const AVStream* stream);
// The transform that displays a w×h picture rotated clockwise by `degrees`,
// moved back to the origin (the form camera files carry).
AffineTransform rotationTransform(int degrees, double width, double height);

// Decodes the frames of one video stream in presentation order.
class VideoReader {
 public:
  struct Options {
    int threads = 0;       // 0: as many as the machine has
    int streamIndex = -1;  // -1: the best video stream
  };

  static Result<std::unique_ptr<VideoReader>> open(const std::filesystem::path& path,
                                                   Options options);

  AVStream* stream() const { return stream_; }
  AVCodecContext* codec() const { return codec_.get(); }
  const std::filesystem::path& path() const { return path_; }
  MediaTime frameTime(const AVFrame* frame) const;

  // Moves so that decoding continues with the frame shown at `time`.
  Result<void> seek(const MediaTime& time);
  // The next frame, or null at the end. The frame is the reader's until the
  // next call. A stream that cannot be decoded or ends in a read error fails.
  Result<AVFrame*> nextFrame();
  // The first frame alone, without waiting for the frames a decoder holds
  // back for reordering: the first packet is decoded and the decoder drained.
  // Leaves the reader at its end.
  Result<AVFrame*> firstFrameQuickly();

 private:
  VideoReader() = default;
  Result<bool> sendNextPacket();

  std::filesystem::path path_;
  FormatInput format_;
  CodecContext codec_;
  AVStream* stream_ = nullptr;
  PacketPtr packet_;
  FramePtr frame_;
  bool draining_ = false;
};

// Quiets FFmpeg's own logging (errors reach callers as values).
void quietFFmpegLogging();

}  // namespace velmoradine::media
