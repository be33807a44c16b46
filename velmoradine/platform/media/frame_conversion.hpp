#pragma once

// Private to the media layer: moving decoded frames between pixel formats.
// Planar Y'CbCr pictures of any matrix, range, depth and subsampling go
// through the exact converters of ycbcr.hpp; swscale handles the rest.

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/ycbcr.hpp"

namespace velmoradine::media {

// `frame` as the encoder takes it: planar 8-bit 4:2:0 in `coding`, BT.601
// limited range unless told otherwise (itself, referenced, when it already
// is; pictures coded otherwise are re-coded so that their colours stay the
// same).
Result<FramePtr> toI420(const AVFrame* frame, const YCbCrCoding& coding = {});
// The frame as opaque BGRA, turned clockwise by `rotation` (0, 90, 180, 270).
Result<Bitmap> toBGRA(const AVFrame* frame, int rotation);
// An empty planar 4:2:0 frame of the given size.
FramePtr allocateI420(int width, int height);
// Converts a BGRA picture into the limited-range BT.601 planes of `frame`.
void convertBGRAToI420(const std::uint8_t* bgra, int stride, AVFrame* frame);

}  // namespace velmoradine::media
