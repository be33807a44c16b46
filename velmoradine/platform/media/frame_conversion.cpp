#include "velmoradine/platform/media/frame_conversion.hpp"

#include <libyuv.h>

extern "C" {
#include <libswscale/swscale.h>
}

namespace velmoradine::media {

FramePtr allocateI420(int width, int height) {
  FramePtr frame = makeFrame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 32) < 0) return nullptr;
  return frame;
}

namespace {

bool isPlanar420(const AVFrame* frame) {
  return frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P;
}

bool isFullRange(const AVFrame* frame) {
  return frame->format == AV_PIX_FMT_YUVJ420P || frame->color_range == AVCOL_RANGE_JPEG;
}

// What the encoder writes: planar 4:2:0, BT.601, limited range. Untagged
// pictures are taken to be BT.601, as the decoders' own converters do.
bool isEncoderReady(const AVFrame* frame) {
  return frame->format == AV_PIX_FMT_YUV420P && !isFullRange(frame) &&
         frame->colorspace != AVCOL_SPC_BT709;
}

// `frame` as planar 4:2:0 in its own colour coding: itself (referenced) when
// it already is, else through swscale, which writes BT.601 limited range.
Result<FramePtr> toPlanar420(const AVFrame* frame) {
  if (isPlanar420(frame)) return referenceFrame(frame);
  FramePtr converted = allocateI420(frame->width, frame->height);
  if (!converted) return failure(Error(MediaError::decodeFailed, "out of memory"));
  SwsContext* scaler = sws_getContext(
      frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
      frame->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler) return failure(Error(MediaError::decodeFailed, "unsupported pixel format"));
  sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, converted->data,
            converted->linesize);
  sws_freeContext(scaler);
  converted->pts = frame->pts;
  converted->best_effort_timestamp = frame->best_effort_timestamp;
  converted->color_range = AVCOL_RANGE_MPEG;
  converted->colorspace = AVCOL_SPC_SMPTE170M;
  return converted;
}

const libyuv::YuvConstants& yuvConstants(const AVFrame* frame) {
  const bool bt709 = frame->colorspace == AVCOL_SPC_BT709;
  if (isFullRange(frame)) return bt709 ? libyuv::kYuvF709Constants : libyuv::kYuvJPEGConstants;
  return bt709 ? libyuv::kYuvH709Constants : libyuv::kYuvI601Constants;
}

void planar420ToBGRA(const AVFrame* frame, Bitmap& target) {
  libyuv::I420ToARGBMatrix(frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                           frame->data[2], frame->linesize[2], target.data(), target.stride(),
                           &yuvConstants(frame), frame->width, frame->height);
}

}  // namespace

Result<FramePtr> toI420(const AVFrame* frame) {
  if (isEncoderReady(frame)) return referenceFrame(frame);
  auto planar = toPlanar420(frame);
  if (!planar) return planar;
  if (isEncoderReady(planar->get())) return planar;
  // Coded with another matrix or range: re-coded through BGRA, so that the
  // colours survive the encoder's BT.601 tags.
  const AVFrame* source = planar->get();
  Bitmap picture = Bitmap::uninitialized(source->width, source->height);
  planar420ToBGRA(source, picture);
  FramePtr converted = allocateI420(source->width, source->height);
  if (!converted) return failure(Error(MediaError::decodeFailed, "out of memory"));
  convertBGRAToI420(picture.data(), picture.stride(), converted.get());
  converted->pts = source->pts;
  converted->best_effort_timestamp = source->best_effort_timestamp;
  converted->color_range = AVCOL_RANGE_MPEG;
  converted->colorspace = AVCOL_SPC_SMPTE170M;
  return converted;
}

Result<Bitmap> toBGRA(const AVFrame* source, int rotation) {
  auto planar = toPlanar420(source);
  if (!planar) return failure(planar.error());
  const AVFrame* frame = planar->get();
  Bitmap upright = Bitmap::uninitialized(frame->width, frame->height);
  planar420ToBGRA(frame, upright);
  if (rotation == 0) return upright;
  const bool swaps = rotation == 90 || rotation == 270;
  Bitmap turned = Bitmap::uninitialized(swaps ? frame->height : frame->width,
                                        swaps ? frame->width : frame->height);
  libyuv::ARGBRotate(upright.data(), upright.stride(), turned.data(), turned.stride(), frame->width,
                     frame->height, static_cast<libyuv::RotationMode>(rotation));
  return turned;
}

void convertBGRAToI420(const std::uint8_t* bgra, int stride, AVFrame* frame) {
  libyuv::ARGBToI420(bgra, stride, frame->data[0], frame->linesize[0], frame->data[1],
                     frame->linesize[1], frame->data[2], frame->linesize[2], frame->width,
                     frame->height);
}

}  // namespace velmoradine::media
