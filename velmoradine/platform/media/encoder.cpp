#include "velmoradine/platform/media/encoder.hpp"

#include <system_error>

#include "velmoradine/platform/foundation/uuid.hpp"

extern "C" {
#include <libavutil/opt.h>
}

namespace velmoradine::media {

OutputFile::~OutputFile() {
  abandon();
}

Result<void> OutputFile::open(const std::filesystem::path& destination,
                              const AVCodecParameters* parameters, AVRational timeBase,
                              AVRational frameRate, bool optimizeForNetworkUse, int rotation) {
  quietFFmpegLogging();
  std::error_code status;
  if (std::filesystem::exists(destination, status)) {
    return failure(Error(MediaError::outputExists, destination.string()));
  }
  destination_ = destination;
  // Hidden, and unique so that concurrent exports never share it.
  std::string name(".");
  name += destination.filename().string();
  name += ".";
  name += UUID().uuidString();
  name += ".partial";
  temporary_ = destination.parent_path() / name;
  int result = avformat_alloc_output_context2(&context_, nullptr, "mp4", temporary_.c_str());
  if (result < 0 || !context_)
    return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  AVStream* stream = avformat_new_stream(context_, nullptr);
  if (!stream) return failure(Error(MediaError::writeFailed, "no stream"));
  result = avcodec_parameters_copy(stream->codecpar, parameters);
  if (result < 0) return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  stream->codecpar->codec_tag = 0;
  stream->time_base = timeBase;
  stream->avg_frame_rate = frameRate;
  if (rotation != 0) {
    auto* matrix = reinterpret_cast<std::int32_t*>(
        av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof(std::int32_t) * 9));
    if (matrix) av_display_rotation_set(matrix, rotation);
  }
  result = avio_open(&context_->pb, temporary_.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  AVDictionary* options = nullptr;
  if (optimizeForNetworkUse) av_dict_set(&options, "movflags", "+faststart", 0);
  result = avformat_write_header(context_, &options);
  av_dict_free(&options);
  if (result < 0) return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  headerWritten_ = true;
  return {};
}

Result<void> OutputFile::write(AVPacket* packet, AVRational timeBase) {
  // The muxer replaces the stream's time base with its own when the header is
  // written, so every packet is rescaled into whatever it chose.
  av_packet_rescale_ts(packet, timeBase, context_->streams[0]->time_base);
  packet->stream_index = 0;
  const int result = av_interleaved_write_frame(context_, packet);
  if (result < 0) return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  return {};
}

Result<void> OutputFile::finish() {
  int result = av_write_trailer(context_);
  headerWritten_ = false;
  if (result < 0) return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  result = avio_closep(&context_->pb);
  if (result < 0) return failure(Error(MediaError::writeFailed, ffmpegErrorText(result)));
  avformat_free_context(context_);
  context_ = nullptr;
  std::error_code status;
  if (std::filesystem::exists(destination_, status)) {
    std::filesystem::remove(temporary_, status);
    return failure(Error(MediaError::outputExists, destination_.string()));
  }
  std::filesystem::rename(temporary_, destination_, status);
  if (status) {
    std::filesystem::remove(temporary_, status);
    return failure(Error(MediaError::writeFailed, status.message()));
  }
  temporary_.clear();
  return {};
}

void OutputFile::abandon() {
  if (context_) {
    if (context_->pb) avio_closep(&context_->pb);
    avformat_free_context(context_);
    context_ = nullptr;
  }
  headerWritten_ = false;
  if (!temporary_.empty()) {
    std::error_code status;
    std::filesystem::remove(temporary_, status);
    temporary_.clear();
  }
}

Result<void> Encoder::open(const std::filesystem::path& destination,
                           const VideoEncoderSettings& settings, const YCbCrCoding& coding) {
  quietFFmpegLogging();
  settings_ = settings;
  if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 || settings.height % 2 ||
      !settings.frameDuration.isNumeric() || settings.frameDuration.value() <= 0) {
    return failure(
        Error(MediaError::encodeFailed, "the output needs an even picture size and a frame rate"));
  }
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) return failure(Error(MediaError::encodeFailed, "libx264 is not available"));
  codec_.reset(avcodec_alloc_context3(codec));
  AVCodecContext* context = codec_.get();
  context->width = settings.width;
  context->height = settings.height;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  const AVRational timeBase{static_cast<int>(settings.frameDuration.value()),
                            settings.frameDuration.timescale()};
  context->time_base = timeBase;
  context->framerate = av_inv_q(timeBase);
  context->thread_count = settings.threads;
  // Tagged, so players do not guess a different matrix or range.
  const bool bt709 = coding.matrix == AVCOL_SPC_BT709;
  context->color_range = coding.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  context->colorspace = coding.matrix;
  context->color_primaries = bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
  context->color_trc = bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
  context->sample_aspect_ratio = {1, 1};
  if (settings.keyframeInterval > 0) context->gop_size = settings.keyframeInterval;
  // MPEG-4 keeps the parameter sets in the sample description.
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", settings.preset.c_str(), 0);
  av_dict_set(&options, "crf", std::to_string(settings.crf).c_str(), 0);
  int result = avcodec_open2(context, codec, &options);
  av_dict_free(&options);
  if (result < 0) return failure(Error(MediaError::encodeFailed, ffmpegErrorText(result)));
  AVCodecParameters* parameters = avcodec_parameters_alloc();
  avcodec_parameters_from_context(parameters, context);
  auto opened = output_.open(destination, parameters, timeBase, context->framerate,
                             settings.optimizeForNetworkUse, settings.rotation);
  avcodec_parameters_free(&parameters);
  VELMORADINE_TRY(opened);
  packet_ = makePacket();
  return {};
}

Result<void> Encoder::encode(AVFrame* frame) {
  frame->pts = nextIndex_++;
  frame->pict_type = AV_PICTURE_TYPE_NONE;
  const int result = avcodec_send_frame(codec_.get(), frame);
  if (result < 0) return failure(Error(MediaError::encodeFailed, ffmpegErrorText(result)));
  return drain();
}

Result<void> Encoder::drain() {
  while (true) {
    const int result = avcodec_receive_packet(codec_.get(), packet_.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return {};
    if (result < 0) return failure(Error(MediaError::encodeFailed, ffmpegErrorText(result)));
    packet_->duration = 1;
    auto written = output_.write(packet_.get(), codec_->time_base);
    av_packet_unref(packet_.get());
    VELMORADINE_TRY(written);
  }
}

Result<void> Encoder::finish() {
  const int result = avcodec_send_frame(codec_.get(), nullptr);
  if (result < 0) return failure(Error(MediaError::encodeFailed, ffmpegErrorText(result)));
  if (auto drained = drain(); !drained) return drained;
  if (nextIndex_ == 0) return failure(Error(MediaError::encodeFailed, "no frames to write"));
  return output_.finish();
}

}  // namespace velmoradine::media
