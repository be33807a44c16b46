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

Result<FramePtr> toI420(const AVFrame* frame) {
  if (frame->format == AV_PIX_FMT_YUV420P) {
    return referenceFrame(frame);
  }
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

Result<Bitmap> toBGRA(const AVFrame* source, int rotation) {
  auto planar = toI420(source);
  if (!planar) return failure(planar.error());
  const AVFrame* frame = planar->get();
  Bitmap upright = Bitmap::uninitialized(frame->width, frame->height);
  const bool fullRange =
      frame->format == AV_PIX_FMT_YUVJ420P || frame->color_range == AVCOL_RANGE_JPEG;
  auto convert = fullRange                              ? libyuv::J420ToARGB
                 : frame->colorspace == AVCOL_SPC_BT709 ? libyuv::H420ToARGB
                                                        : libyuv::I420ToARGB;
  convert(frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1], frame->data[2],
          frame->linesize[2], upright.data(), upright.stride(), frame->width, frame->height);
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
