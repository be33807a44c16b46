// The encoder's input is BT.601 limited range: pictures coded otherwise must
// reach it re-coded, not merely re-tagged, or their colours shift.

#include "velmoradine/platform/media/frame_conversion.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace velmoradine::media {
namespace {

// A 16×16 picture of one colour, given as its Y, U and V values.
FramePtr uniformFrame(AVPixelFormat format, AVColorSpace space, AVColorRange range, int y, int u,
                      int v) {
  FramePtr frame = makeFrame();
  frame->format = format;
  frame->width = 16;
  frame->height = 16;
  frame->colorspace = space;
  frame->color_range = range;
  EXPECT_GE(av_frame_get_buffer(frame.get(), 32), 0);
  for (int row = 0; row < 16; ++row) std::memset(frame->data[0] + row * frame->linesize[0], y, 16);
  for (int row = 0; row < 8; ++row) {
    std::memset(frame->data[1] + row * frame->linesize[1], u, 8);
    std::memset(frame->data[2] + row * frame->linesize[2], v, 8);
  }
  return frame;
}

void expectCoding(const AVFrame* frame, int y, int u, int v) {
  EXPECT_LE(std::abs(frame->data[0][5 * frame->linesize[0] + 5] - y), 2) << "Y";
  EXPECT_LE(std::abs(frame->data[1][3 * frame->linesize[1] + 3] - u), 2) << "U";
  EXPECT_LE(std::abs(frame->data[2][3 * frame->linesize[2] + 3] - v), 2) << "V";
}

// Pure red: BT.601 limited Y 81, U 90, V 240; BT.709 limited Y 63, U 102,
// V 240; BT.601 full Y 76, U 85, V 255.
TEST(FrameConversion, BT601LimitedPicturesPassThroughUntouched) {
  FramePtr red =
      uniformFrame(AV_PIX_FMT_YUV420P, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, 81, 90, 240);
  auto converted = toI420(red.get());
  ASSERT_TRUE(converted);
  EXPECT_EQ((*converted)->data[0], red->data[0]);
  FramePtr untagged =
      uniformFrame(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 81, 90, 240);
  EXPECT_EQ((*toI420(untagged.get()))->data[0], untagged->data[0]);
}

TEST(FrameConversion, BT709PicturesAreRecodedForTheEncoder) {
  FramePtr red = uniformFrame(AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 63, 102, 240);
  auto converted = toI420(red.get());
  ASSERT_TRUE(converted);
  expectCoding(converted->get(), 81, 90, 240);
  EXPECT_EQ((*converted)->colorspace, AVCOL_SPC_SMPTE170M);
  auto picture = toBGRA(red.get(), 0);
  ASSERT_TRUE(picture);
  const std::uint32_t pixel = picture->pixel(4, 4);
  EXPECT_GE((pixel >> 16) & 0xff, 250u);
  EXPECT_LE((pixel >> 8) & 0xff, 5u);
  EXPECT_LE(pixel & 0xff, 5u);
}

TEST(FrameConversion, FullRangePicturesAreBroughtToLimitedRange) {
  for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P}) {
    FramePtr red = uniformFrame(format, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_JPEG, 76, 85, 255);
    auto converted = toI420(red.get());
    ASSERT_TRUE(converted);
    EXPECT_EQ((*converted)->format, AV_PIX_FMT_YUV420P);
    expectCoding(converted->get(), 81, 90, 240);
  }
}

}  // namespace
}  // namespace velmoradine::media
