#include "velmoradine/platform/media/ycbcr.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace velmoradine::media {
namespace {

constexpr int kFractionBits = 16;

using Matrix = std::array<std::array<double, 3>, 3>;

// The matrix's luma weights of red and blue.
struct LumaWeights {
  double red, blue;
};

LumaWeights lumaWeights(AVColorSpace matrix) {
  switch (matrix) {
    case AVCOL_SPC_BT709:
      return {0.2126, 0.0722};
    case AVCOL_SPC_BT2020_NCL:
      return {0.2627, 0.0593};
    case AVCOL_SPC_SMPTE240M:
      return {0.212, 0.087};
    case AVCOL_SPC_FCC:
      return {0.30, 0.11};
    default:
      return {0.299, 0.114};
  }
}

AVColorSpace matrixTag(AVColorSpace space) {
  switch (space) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT2020_NCL:
      return space;
    case AVCOL_SPC_BT2020_CL:
      return AVCOL_SPC_BT2020_NCL;
    default:
      return AVCOL_SPC_SMPTE170M;
  }
}

bool isFullRangeFormat(int format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
      return true;
    default:
      return false;
  }
}

// Normalised R'G'B' from normalised Y' (0…1), Cb and Cr (−½…½).
Matrix rgbFromYCbCr(const YCbCrCoding& coding) {
  const auto [kr, kb] = lumaWeights(coding.matrix);
  const double kg = 1 - kr - kb;
  return {{{1, 0, 2 * (1 - kr)},
           {1, -2 * kb * (1 - kb) / kg, -2 * kr * (1 - kr) / kg},
           {1, 2 * (1 - kb), 0}}};
}

Matrix yCbCrFromRgb(const YCbCrCoding& coding) {
  const auto [kr, kb] = lumaWeights(coding.matrix);
  const double kg = 1 - kr - kb;
  return {{{kr, kg, kb},
           {-kr / (2 * (1 - kb)), -kg / (2 * (1 - kb)), 0.5},
           {0.5, -kg / (2 * (1 - kr)), -kb / (2 * (1 - kr))}}};
}

Matrix product(const Matrix& left, const Matrix& right) {
  Matrix result{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      for (int k = 0; k < 3; ++k) result[row][column] += left[row][k] * right[k][column];
    }
  }
  return result;
}

// Where the normalised components sit among a picture's sample values.
struct SampleRange {
  double lumaOffset, lumaScale, chromaOffset, chromaScale;
};

SampleRange sampleRange(int bitDepth, bool fullRange) {
  const double chromaOffset = std::ldexp(1.0, bitDepth - 1);
  if (fullRange) {
    const double top = std::ldexp(1.0, bitDepth) - 1;
    return {0, top, chromaOffset, top};
  }
  const double step = std::ldexp(1.0, bitDepth - 8);
  return {16 * step, 219 * step, chromaOffset, 224 * step};
}

std::int64_t toFixed(double value) {
  return std::llround(std::ldexp(value, kFractionBits));
}

// One output component as an affine function of the sample values, in fixed
// point; the constant carries the output's offset and the rounding half.
struct FixedAffine {
  std::int64_t luma = 0, blue = 0, red = 0, constant = 0;
};

// `row` maps normalised input components to a normalised output component,
// which is stored as outputOffset + outputScale × value.
FixedAffine fixedAffine(const std::array<double, 3>& row, const SampleRange& input,
                        double outputOffset, double outputScale) {
  const double luma = outputScale * row[0] / input.lumaScale;
  const double blue = outputScale * row[1] / input.chromaScale;
  const double red = outputScale * row[2] / input.chromaScale;
  const double constant =
      outputOffset - luma * input.lumaOffset - (blue + red) * input.chromaOffset + 0.5;
  return {toFixed(luma), toFixed(blue), toFixed(red), toFixed(constant)};
}

template <typename Sample>
const Sample* sampleRow(const AVFrame* frame, int plane, int row) {
  return reinterpret_cast<const Sample*>(frame->data[plane] +
                                         static_cast<std::ptrdiff_t>(row) * frame->linesize[plane]);
}

std::uint8_t* byteRow(AVFrame* frame, int plane, int row) {
  return frame->data[plane] + static_cast<std::ptrdiff_t>(row) * frame->linesize[plane];
}

struct ToBGRA {
  FixedAffine red, green, blue;
};

std::uint32_t channel(std::int32_t fixed) {
  return static_cast<std::uint32_t>(std::clamp(fixed >> kFractionBits, 0, 255));
}

// Every channel has the same luma coefficient (grey stays grey), so a row is
// one product per pixel plus the chroma's part of each channel, worked out
// for each row of chroma samples and spread to the row's width so that the
// per-pixel loop reads memory in order (the compiler vectorises it). The sums
// stay far inside 32 bits at any depth: each coefficient is scaled to its
// samples' range.
template <typename Sample>
void convertToBGRA(const AVFrame* frame, const PlanarLayout& layout, const ToBGRA& to,
                   Bitmap& target) {
  const unsigned mask = (1u << layout.bitDepth) - 1;
  const int width = frame->width;
  std::vector<std::int32_t> red(width), green(width), blue(width);
  const auto luma = static_cast<std::int32_t>(to.red.luma);
  for (int row = 0; row < frame->height; ++row) {
    if (row == 0 || (row >> layout.chromaShiftY) != ((row - 1) >> layout.chromaShiftY)) {
      const Sample* cb = sampleRow<Sample>(frame, 1, row >> layout.chromaShiftY);
      const Sample* cr = sampleRow<Sample>(frame, 2, row >> layout.chromaShiftY);
      for (int x = 0; x < width; ++x) {
        const int chroma = x >> layout.chromaShiftX;
        const std::int64_t b = cb[chroma] & mask, r = cr[chroma] & mask;
        red[x] = static_cast<std::int32_t>(to.red.blue * b + to.red.red * r + to.red.constant);
        green[x] =
            static_cast<std::int32_t>(to.green.blue * b + to.green.red * r + to.green.constant);
        blue[x] = static_cast<std::int32_t>(to.blue.blue * b + to.blue.red * r + to.blue.constant);
      }
    }
    const Sample* y = sampleRow<Sample>(frame, 0, row);
    std::uint32_t* out = target.row(row);
    const std::int32_t* reds = red.data();
    const std::int32_t* greens = green.data();
    const std::int32_t* blues = blue.data();
    for (int x = 0; x < width; ++x) {
      const std::int32_t base = luma * static_cast<std::int32_t>(y[x] & mask);
      out[x] = 0xff000000u | channel(base + reds[x]) << 16 | channel(base + greens[x]) << 8 |
               channel(base + blues[x]);
    }
  }
}

struct ToI420 {
  FixedAffine luma, blue, red;
};

// How far one step of each 8-bit output sample moves R', G' and B', in levels,
// and the luma step that cancels a grey error of one level.
struct RgbSteps {
  double luma, redPerCr, greenPerCb, greenPerCr, bluePerCb, lumaPerGrey;
};

RgbSteps rgbSteps(const YCbCrCoding& coding) {
  const Matrix rgb = rgbFromYCbCr(coding);
  const SampleRange range = sampleRange(8, coding.fullRange);
  const double luma = 255 / range.lumaScale;
  return {luma,
          255 * rgb[0][2] / range.chromaScale,
          255 * rgb[1][1] / range.chromaScale,
          255 * rgb[1][2] / range.chromaScale,
          255 * rgb[2][1] / range.chromaScale,
          1 / luma};
}

// The rounding of one block's chroma, and how far its lumas move to make up
// for it.
struct ChromaRounding {
  int blue = 0, red = 0;
  double lumaShift = 0;
};

// std::floor is a library call without SSE 4.1, and this runs per sample.
int floorOf(double value) {
  const int truncated = static_cast<int>(value);
  return truncated - (value < truncated);
}

std::uint8_t toByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(floorOf(value + 0.5), 0, 255));
}

// Rounding Y', Cb and Cr each to the nearest sample can put R'G'B' a level or
// more off where the matrix adds the three errors up. Of the roundings of the
// chroma up or down, this takes the one whose error the luma, moved to cancel
// the grey part of it, leaves smallest in R', G' and B' together.
ChromaRounding roundChroma(double blue, double red, double luma, const RgbSteps& steps) {
  const int blueFloor = floorOf(blue), redFloor = floorOf(red);
  const double blueFraction = blue - blueFloor, redFraction = red - redFloor;
  // Far from halfway, the nearest value is the only one worth trying.
  const auto choices = [](double fraction) { return fraction > 0.25 && fraction < 0.75 ? 2 : 1; };
  const int blueStart = blueFloor + (choices(blueFraction) == 1 && blueFraction >= 0.5);
  const int redStart = redFloor + (choices(redFraction) == 1 && redFraction >= 0.5);
  ChromaRounding best;
  double bestError = 1e300;
  for (int blueStep = 0; blueStep < choices(blueFraction); ++blueStep) {
    for (int redStep = 0; redStep < choices(redFraction); ++redStep) {
      const int roundedBlue = std::clamp(blueStart + blueStep, 0, 255);
      const int roundedRed = std::clamp(redStart + redStep, 0, 255);
      const double blueError = roundedBlue - blue, redError = roundedRed - red;
      const double r = steps.redPerCr * redError;
      const double g = steps.greenPerCb * blueError + steps.greenPerCr * redError;
      const double b = steps.bluePerCb * blueError;
      const double shift = -(r + g + b) * (1.0 / 3) * steps.lumaPerGrey;
      const double lumaError = (floorOf(luma + shift + 0.5) - luma) * steps.luma;
      const double error =
          std::abs(lumaError + r) + std::abs(lumaError + g) + std::abs(lumaError + b);
      if (error < bestError) {
        bestError = error;
        best = {roundedBlue, roundedRed, shift};
      }
    }
  }
  return best;
}

constexpr double kFixedUnit = 1.0 / (1 << kFractionBits);

// An output sample's exact value, before rounding, from the sum of `samples`
// sets of input samples.
struct ExactValue {
  ExactValue(const FixedAffine& affine, int samples)
      : affine(affine),
        scale(kFixedUnit / samples),
        offset(double(affine.constant) * kFixedUnit - 0.5) {}

  double operator()(std::int64_t y, std::int64_t cb, std::int64_t cr) const {
    return double(affine.luma * y + affine.blue * cb + affine.red * cr) * scale + offset;
  }

  FixedAffine affine;
  double scale, offset;
};

// One 2×2 block of the 4:2:0 output at a time: its chroma is the mean of the
// source's chroma over the block (the same sample four times for a 4:2:0
// source).
template <typename Sample>
void convertBlocks(const AVFrame* frame, const PlanarLayout& layout, const ToI420& to,
                   const RgbSteps& steps, AVFrame* target) {
  const unsigned mask = (1u << layout.bitDepth) - 1;
  const int sourceWidth = (frame->width + (1 << layout.chromaShiftX) - 1) >> layout.chromaShiftX;
  const int sourceHeight = (frame->height + (1 << layout.chromaShiftY) - 1) >> layout.chromaShiftY;
  const ExactValue luma(to.luma, 1), blue(to.blue, 4), red(to.red, 4);
  for (int row = 0; row < (frame->height + 1) / 2; ++row) {
    const Sample *lumas[2], *blues[2], *reds[2];
    std::uint8_t* outLumas[2];
    for (int i = 0; i < 2; ++i) {
      const int lumaRow = std::min(2 * row + i, frame->height - 1);
      const int chromaRow = std::min(lumaRow >> layout.chromaShiftY, sourceHeight - 1);
      lumas[i] = sampleRow<Sample>(frame, 0, lumaRow);
      blues[i] = sampleRow<Sample>(frame, 1, chromaRow);
      reds[i] = sampleRow<Sample>(frame, 2, chromaRow);
      outLumas[i] = byteRow(target, 0, lumaRow);
    }
    std::uint8_t* outBlue = byteRow(target, 1, row);
    std::uint8_t* outRed = byteRow(target, 2, row);
    for (int column = 0; column < (frame->width + 1) / 2; ++column) {
      const int xs[2] = {2 * column, std::min(2 * column + 1, frame->width - 1)};
      double exact[2][2], meanLuma = 0;
      std::int64_t blueSum = 0, redSum = 0;
      for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
          const int chroma = std::min(xs[j] >> layout.chromaShiftX, sourceWidth - 1);
          const std::int64_t cb = blues[i][chroma] & mask, cr = reds[i][chroma] & mask;
          blueSum += cb;
          redSum += cr;
          exact[i][j] = luma(lumas[i][xs[j]] & mask, cb, cr);
          meanLuma += exact[i][j] * 0.25;
        }
      }
      const ChromaRounding chroma =
          roundChroma(blue(0, blueSum, redSum), red(0, blueSum, redSum), meanLuma, steps);
      outBlue[column] = static_cast<std::uint8_t>(chroma.blue);
      outRed[column] = static_cast<std::uint8_t>(chroma.red);
      for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) outLumas[i][xs[j]] = toByte(exact[i][j] + chroma.lumaShift);
      }
    }
  }
}

bool isWide(const PlanarLayout& layout) {
  return layout.bitDepth > 8;
}

std::optional<PlanarLayout> layoutOf(AVPixelFormat format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  constexpr auto kUnreadable = AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                               AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_RGB |
                               AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_BAYER;
  if (!descriptor || (descriptor->flags & kUnreadable) ||
      !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) || descriptor->nb_components < 3 ||
      descriptor->log2_chroma_w > 1 || descriptor->log2_chroma_h > 1) {
    return std::nullopt;
  }
  const int depth = descriptor->comp[0].depth;
  if (depth < 8 || depth > 16) return std::nullopt;
  for (int component = 0; component < 3; ++component) {
    const AVComponentDescriptor& layout = descriptor->comp[component];
    if (layout.plane != component || layout.depth != depth || layout.shift != 0 ||
        layout.offset != 0 || layout.step != (depth > 8 ? 2 : 1)) {
      return std::nullopt;
    }
  }
  return PlanarLayout{depth, descriptor->log2_chroma_w, descriptor->log2_chroma_h};
}

}  // namespace

std::optional<PlanarLayout> planarLayout(const AVFrame* frame) {
  return layoutOf(static_cast<AVPixelFormat>(frame->format));
}

bool isPlanarFormat(AVPixelFormat format) {
  return layoutOf(format).has_value();
}

bool isFullRange(const AVFrame* frame) {
  return isFullRangeFormat(frame->format) || frame->color_range == AVCOL_RANGE_JPEG;
}

YCbCrCoding codingOf(const AVFrame* frame) {
  return {matrixTag(frame->colorspace), isFullRange(frame)};
}

YCbCrCoding codingOf(const AVCodecParameters* parameters) {
  return {matrixTag(parameters->color_space),
          isFullRangeFormat(parameters->format) || parameters->color_range == AVCOL_RANGE_JPEG};
}

void planarToBGRA(const AVFrame* frame, const PlanarLayout& layout, Bitmap& target) {
  const YCbCrCoding coding = codingOf(frame);
  const Matrix rgb = rgbFromYCbCr(coding);
  const SampleRange input = sampleRange(layout.bitDepth, coding.fullRange);
  const ToBGRA to{fixedAffine(rgb[0], input, 0, 255), fixedAffine(rgb[1], input, 0, 255),
                  fixedAffine(rgb[2], input, 0, 255)};
  if (isWide(layout)) {
    convertToBGRA<std::uint16_t>(frame, layout, to, target);
  } else {
    convertToBGRA<std::uint8_t>(frame, layout, to, target);
  }
}

void planarToI420(const AVFrame* frame, const PlanarLayout& layout, const YCbCrCoding& coding,
                  AVFrame* target) {
  const YCbCrCoding source = codingOf(frame);
  const Matrix recode = product(yCbCrFromRgb(coding), rgbFromYCbCr(source));
  const SampleRange input = sampleRange(layout.bitDepth, source.fullRange);
  const SampleRange output = sampleRange(8, coding.fullRange);
  const ToI420 to{fixedAffine(recode[0], input, output.lumaOffset, output.lumaScale),
                  fixedAffine(recode[1], input, output.chromaOffset, output.chromaScale),
                  fixedAffine(recode[2], input, output.chromaOffset, output.chromaScale)};
  const RgbSteps steps = rgbSteps(coding);
  if (isWide(layout)) {
    convertBlocks<std::uint16_t>(frame, layout, to, steps, target);
  } else {
    convertBlocks<std::uint8_t>(frame, layout, to, steps, target);
  }
}

}  // namespace velmoradine::media
