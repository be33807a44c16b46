#include "velmoradine/platform/media/frame_conversion.hpp"

#include <libyuv.h>

#include "velmoradine/platform/media/ycbcr.hpp"

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

bool isEncoderReady(const AVFrame* frame, const YCbCrCoding& coding) {
  return (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P) &&
         codingOf(frame) == coding;
}

int swscaleColorspace(AVColorSpace space) {
  switch (space) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    default:
      return SWS_CS_ITU601;
  }
}

// Pictures in layouts the exact converters do not read (packed, semi-planar,
// grey, RGB) go through swscale, told the picture's own matrix and range.
Result<Bitmap> scaleToBGRA(const AVFrame* frame) {
  SwsContext* scaler =
      sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                     frame->width, frame->height, AV_PIX_FMT_BGRA,
                     SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
                     nullptr, nullptr, nullptr);
  if (!scaler) return failure(Error(MediaError::decodeFailed, "unsupported pixel format"));
  const int* coefficients = sws_getCoefficients(swscaleColorspace(frame->colorspace));
  sws_setColorspaceDetails(scaler, coefficients, isFullRange(frame) ? 1 : 0, coefficients, 1, 0,
                           1 << 16, 1 << 16);
  Bitmap picture = Bitmap::uninitialized(frame->width, frame->height);
  std::uint8_t* planes[4] = {picture.data(), nullptr, nullptr, nullptr};
  const int strides[4] = {picture.stride(), 0, 0, 0};
  sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
  sws_freeContext(scaler);
  return picture;
}

Result<Bitmap> uprightBGRA(const AVFrame* frame) {
  const auto layout = planarLayout(frame);
  if (!layout) return scaleToBGRA(frame);
  Bitmap picture = Bitmap::uninitialized(frame->width, frame->height);
  planarToBGRA(frame, *layout, picture);
  return picture;
}

// The encoder takes planar 4:2:0 whatever the range; the range is in the tags.
void tag(AVFrame* frame, const YCbCrCoding& coding) {
  frame->format = AV_PIX_FMT_YUV420P;
  frame->color_range = coding.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  frame->colorspace = coding.matrix;
}

}  // namespace

Result<FramePtr> toI420(const AVFrame* frame, const YCbCrCoding& coding) {
  if (isEncoderReady(frame, coding)) {
    FramePtr same = referenceFrame(frame);
    tag(same.get(), coding);
    return same;
  }
  FramePtr converted = allocateI420(frame->width, frame->height);
  if (!converted) return failure(Error(MediaError::decodeFailed, "out of memory"));
  converted->pts = frame->pts;
  converted->best_effort_timestamp = frame->best_effort_timestamp;
  tag(converted.get(), coding);
  if (const auto layout = planarLayout(frame)) {
    planarToI420(frame, *layout, coding, converted.get());
  } else if (coding != YCbCrCoding{}) {
    return failure(Error(MediaError::decodeFailed, "unsupported pixel format"));
  } else {
    VELMORADINE_ASSIGN_OR_RETURN(const auto picture, scaleToBGRA(frame));
    convertBGRAToI420(picture.data(), picture.stride(), converted.get());
  }
  return converted;
}

Result<Bitmap> toBGRA(const AVFrame* frame, int rotation) {
  auto upright = uprightBGRA(frame);
  if (!upright || rotation == 0) return upright;
  const bool swaps = rotation == 90 || rotation == 270;
  Bitmap turned = Bitmap::uninitialized(swaps ? frame->height : frame->width,
                                        swaps ? frame->width : frame->height);
  libyuv::ARGBRotate(upright->data(), upright->stride(), turned.data(), turned.stride(),
                     frame->width, frame->height, static_cast<libyuv::RotationMode>(rotation));
  return turned;
}

void convertBGRAToI420(const std::uint8_t* bgra, int stride, AVFrame* frame) {
  libyuv::ARGBToI420(bgra, stride, frame->data[0], frame->linesize[0], frame->data[1],
                     frame->linesize[1], frame->data[2], frame->linesize[2], frame->width,
                     frame->height);
}

}  // namespace velmoradine::media
