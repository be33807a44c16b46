#pragma once

// Private to the media layer: exact conversions of planar Y'CbCr pictures,
// whatever their matrix, range, bit depth and chroma subsampling. Every value
// is computed from the exact matrices in fixed point with 16 fractional bits.
// R'G'B' is rounded once, so it is within half a level of the exact value;
// 8-bit Y'CbCr is rounded as a whole (see planarToI420). Chroma is taken from
// the nearest sample on the way up and averaged on the way down.

#include <optional>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/ffmpeg_support.hpp"

namespace velmoradine::media {

// How a planar picture stores its samples: one plane each for Y', Cb and Cr
// (a fourth, alpha, is ignored), 8 to 16 bits a sample in native byte order,
// chroma halved (shift 1) or not (shift 0) in each direction.
struct PlanarLayout {
  int bitDepth = 8;
  int chromaShiftX = 1;
  int chromaShiftY = 1;
};

// How the samples code colour: the matrix (one tag for each set of weights:
// SMPTE170M stands for all of BT.601) and the range.
struct YCbCrCoding {
  AVColorSpace matrix = AVCOL_SPC_SMPTE170M;
  bool fullRange = false;
  bool operator==(const YCbCrCoding&) const = default;
};

// The layout of `frame` when this file can read it.
std::optional<PlanarLayout> planarLayout(const AVFrame* frame);
bool isPlanarFormat(AVPixelFormat format);
// The coding pictures are tagged with; untagged pictures are taken to be
// BT.601 limited range, as FFmpeg's converters take them.
YCbCrCoding codingOf(const AVFrame* frame);
YCbCrCoding codingOf(const AVCodecParameters* parameters);
bool isFullRange(const AVFrame* frame);

// Writes `frame` as opaque BGRA into `target`, which is the frame's size.
void planarToBGRA(const AVFrame* frame, const PlanarLayout& layout, Bitmap& target);
// Writes `frame` as 8-bit 4:2:0 in `coding` into `target`, a planar 4:2:0
// frame of the same size. Each block's samples are rounded together so that
// its R'G'B' stays nearest the source's, not each to its nearest value.
void planarToI420(const AVFrame* frame, const PlanarLayout& layout, const YCbCrCoding& coding,
                  AVFrame* target);

}  // namespace velmoradine::media
