// Colours must survive previews and exports whatever the source's matrix,
// range, bit depth, chroma subsampling and codec. The sources are lossless
// encodes of known RGB patches, coded by the exact matrices, so every error
// measured here is the kit's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/media/encoder.hpp"
#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/platform/media/image_generator.hpp"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace velmoradine {
namespace {

struct Rgb {
  int red, green, blue;
};

// Primaries, secondaries, greys and mixed colours.
const Rgb kPatches[16] = {{0, 0, 0},       {255, 255, 255}, {255, 0, 0},    {0, 255, 0},
                          {0, 0, 255},     {0, 255, 255},   {255, 0, 255},  {255, 255, 0},
                          {128, 128, 128}, {200, 100, 50},  {50, 150, 200}, {128, 64, 192},
                          {240, 200, 160}, {30, 60, 90},    {255, 128, 0},  {100, 200, 100}};
constexpr int kPatchSize = 32;
constexpr int kPictureSize = 4 * kPatchSize;

struct SourceFormat {
  const char* encoder;
  AVPixelFormat pixelFormat;
  AVColorSpace colorspace;
  AVColorRange range;
};

std::string describe(const SourceFormat& format) {
  return std::string(format.encoder) + " " + av_get_pix_fmt_name(format.pixelFormat) + " " +
         av_color_space_name(format.colorspace) + " " + av_color_range_name(format.range);
}

struct Samples {
  int y, cb, cr;
};

// The exact coding of `rgb`, rounded to the format's sample values.
Samples code(const Rgb& rgb, const SourceFormat& format, int bitDepth) {
  const bool bt709 = format.colorspace == AVCOL_SPC_BT709;
  const double kr = bt709 ? 0.2126 : 0.299, kb = bt709 ? 0.0722 : 0.114, kg = 1 - kr - kb;
  const double red = rgb.red / 255.0, green = rgb.green / 255.0, blue = rgb.blue / 255.0;
  const double luma = kr * red + kg * green + kb * blue;
  const double cb = (blue - luma) / (2 * (1 - kb)), cr = (red - luma) / (2 * (1 - kr));
  const double top = std::ldexp(1.0, bitDepth) - 1, step = std::ldexp(1.0, bitDepth - 8);
  const double middle = std::ldexp(1.0, bitDepth - 1);
  const auto sample = [&](double value) {
    return static_cast<int>(std::clamp(std::round(value), 0.0, top));
  };
  if (format.range == AVCOL_RANGE_JPEG) {
    return {sample(luma * top), sample(middle + cb * top), sample(middle + cr * top)};
  }
  return {sample(16 * step + 219 * step * luma), sample(middle + 224 * step * cb),
          sample(middle + 224 * step * cr)};
}

int patchAt(int x, int y) {
  return (y / kPatchSize) * 4 + x / kPatchSize;
}

void store(AVFrame* frame, int plane, int x, int y, int value, bool wide) {
  std::uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
  if (wide) {
    reinterpret_cast<std::uint16_t*>(row)[x] = static_cast<std::uint16_t>(value);
  } else {
    row[x] = static_cast<std::uint8_t>(value);
  }
}

media::FramePtr patchFrame(const SourceFormat& format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format.pixelFormat);
  const int depth = descriptor->comp[0].depth;
  const bool wide = depth > 8;
  media::FramePtr frame = media::makeFrame();
  frame->format = format.pixelFormat;
  frame->width = frame->height = kPictureSize;
  frame->colorspace = format.colorspace;
  frame->color_range = format.range;
  EXPECT_GE(av_frame_get_buffer(frame.get(), 0), 0);
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x)
      store(frame.get(), 0, x, y, code(kPatches[patchAt(x, y)], format, depth).y, wide);
  }
  const int shiftX = descriptor->log2_chroma_w, shiftY = descriptor->log2_chroma_h;
  for (int y = 0; y < kPictureSize >> shiftY; ++y) {
    for (int x = 0; x < kPictureSize >> shiftX; ++x) {
      const Samples samples = code(kPatches[patchAt(x << shiftX, y << shiftY)], format, depth);
      store(frame.get(), 1, x, y, samples.cb, wide);
      store(frame.get(), 2, x, y, samples.cr, wide);
    }
  }
  return frame;
}

// Three identical frames, encoded losslessly.
Result<void> writePatchClip(const std::filesystem::path& path, const SourceFormat& format) {
  const AVCodec* codec = avcodec_find_encoder_by_name(format.encoder);
  if (!codec) return failure(Error(MediaError::encodeFailed, format.encoder));
  media::CodecContext context(avcodec_alloc_context3(codec));
  context->width = context->height = kPictureSize;
  context->pix_fmt = format.pixelFormat;
  context->time_base = {1, 30};
  context->framerate = {30, 1};
  context->colorspace = format.colorspace;
  context->color_range = format.range;
  context->thread_count = 1;
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", "ultrafast", 0);
  if (std::string(format.encoder) == "libx265") {
    av_dict_set(&options, "x265-params", "lossless=1:log-level=none", 0);
  } else {
    av_dict_set(&options, "qp", "0", 0);
  }
  const int opened = avcodec_open2(context.get(), codec, &options);
  av_dict_free(&options);
  if (opened < 0) return failure(Error(MediaError::encodeFailed, ffmpegErrorText(opened)));
  AVCodecParameters* parameters = avcodec_parameters_alloc();
  avcodec_parameters_from_context(parameters, context.get());
  media::OutputFile output;
  auto started = output.open(path, parameters, context->time_base, context->framerate, true, 0);
  avcodec_parameters_free(&parameters);
  if (!started) return started;
  media::FramePtr frame = patchFrame(format);
  media::PacketPtr packet = media::makePacket();
  for (int index = 0; index <= 3; ++index) {
    if (index < 3) frame->pts = index;
    avcodec_send_frame(context.get(), index < 3 ? frame.get() : nullptr);
    while (avcodec_receive_packet(context.get(), packet.get()) == 0) {
      packet->duration = 1;
      if (auto written = output.write(packet.get(), context->time_base); !written) return written;
      av_packet_unref(packet.get());
    }
  }
  return output.finish();
}

struct PatchError {
  int worst = 0;
  double mean = 0;
};

// Errors over the middle half of a patch, away from the edges where chroma
// and compression blend neighbours.
PatchError measure(const Bitmap& picture, int patch) {
  const Rgb expected = kPatches[patch];
  const int left = (patch % 4) * kPatchSize + kPatchSize / 4;
  const int top = (patch / 4) * kPatchSize + kPatchSize / 4;
  PatchError error;
  long total = 0, count = 0;
  for (int y = top; y < top + kPatchSize / 2; ++y) {
    for (int x = left; x < left + kPatchSize / 2; ++x) {
      const std::uint32_t pixel = picture.pixel(x, y);
      for (int difference :
           {int(pixel >> 16 & 0xff) - expected.red, int(pixel >> 8 & 0xff) - expected.green,
            int(pixel & 0xff) - expected.blue}) {
        error.worst = std::max(error.worst, std::abs(difference));
        total += std::abs(difference);
        ++count;
      }
    }
  }
  error.mean = double(total) / double(count);
  return error;
}

void expectFaithful(const Result<Bitmap>& picture, const std::string& what) {
  ASSERT_TRUE(picture) << what << ": " << picture.error().detail();
  ASSERT_EQ(picture->width(), kPictureSize) << what;
  for (int patch = 0; patch < 16; ++patch) {
    const PatchError error = measure(*picture, patch);
    EXPECT_LE(error.worst, 4) << what << ", patch " << patch;
    EXPECT_LT(error.mean, 1.0) << what << ", patch " << patch;
  }
}

Result<Bitmap> firstPicture(const std::filesystem::path& path) {
  return AssetImageGenerator(URLAsset::make(path)).copyImage(MediaTime::zero());
}

std::filesystem::path exportAgain(const std::filesystem::path& source,
                                  const std::filesystem::path& output) {
  auto session = AssetExportSession::make(URLAsset::make(source), AssetExportPresetMediumQuality);
  session->outputURL = output;
  session->outputFileType = FileTypeMPEG4;
  std::atomic<bool> done{false};
  session->exportAsynchronously([&] { done = true; });
  EXPECT_TRUE(testing::waitUntil([&] { return done.load(); }));
  EXPECT_EQ(session->status(), AssetExportSessionStatus::completed)
      << (session->error() ? session->error()->detail() : "");
  return output;
}

std::vector<SourceFormat> sourceFormats() {
  std::vector<SourceFormat> formats;
  for (AVPixelFormat pixelFormat :
       {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV420P10LE,
        AV_PIX_FMT_YUV422P10LE, AV_PIX_FMT_YUV444P10LE}) {
    for (AVColorSpace colorspace : {AVCOL_SPC_SMPTE170M, AVCOL_SPC_BT709}) {
      for (AVColorRange range : {AVCOL_RANGE_MPEG, AVCOL_RANGE_JPEG}) {
        formats.push_back({"libx264", pixelFormat, colorspace, range});
      }
    }
  }
  // HEVC as phones write it (10-bit BT.709), and in other codings.
  formats.push_back({"libx265", AV_PIX_FMT_YUV420P10LE, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG});
  formats.push_back({"libx265", AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG});
  formats.push_back({"libx265", AV_PIX_FMT_YUV422P10LE, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG});
  formats.push_back({"libx265", AV_PIX_FMT_YUV444P, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_JPEG});
  return formats;
}

TEST(ColourFidelity, PreviewsAndExportsKeepEveryPatchWithinFourLevels) {
  testing::TemporaryDirectory directory;
  int index = 0;
  for (const SourceFormat& format : sourceFormats()) {
    const std::string what = describe(format);
    const auto source = directory.path() / ("source" + std::to_string(index) + ".mp4");
    const auto exported = directory.path() / ("export" + std::to_string(index) + ".mp4");
    ++index;
    auto written = writePatchClip(source, format);
    ASSERT_TRUE(written) << what << ": " << written.error().detail();
    expectFaithful(firstPicture(source), what + ", preview");
    expectFaithful(firstPicture(exportAgain(source, exported)), what + ", export");
  }
}

}  // namespace
}  // namespace velmoradine
