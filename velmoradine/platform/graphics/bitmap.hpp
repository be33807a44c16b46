#pragma once

// Pixels as the renderer draws them: 32 bits per pixel, premultiplied alpha,
// native-endian 0xAARRGGBB words, so the bytes in memory on this (little-endian)
// platform are B, G, R, A. Rows are `stride` bytes apart (a multiple of 4, at
// least width × 4). This is Cairo's ARGB32 layout and FFmpeg's AV_PIX_FMT_BGRA,
// so frames pass between the renderer and the media code without conversion.
//
// A bitmap either owns its pixels or borrows a caller's buffer (`wrap`), which
// then has to outlive it. Bitmaps move but do not copy implicitly: `clone()`
// makes an owning deep copy. Not synchronised: one thread at a time.

#include <cstdint>
#include <memory>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/color.hpp"

namespace velmoradine {

class Bitmap {
 public:
  // The largest width or height accepted (Cairo's limit).
  static constexpr int kMaximumDimension = 32767;

  Bitmap() = default;
  // An owning, fully transparent bitmap. Stops the process on a size outside
  // 1…kMaximumDimension: sizes from outside go through `create`.
  Bitmap(int width, int height);
  Bitmap(Bitmap&&) noexcept;
  Bitmap& operator=(Bitmap&&) noexcept;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap();

  static Result<Bitmap> create(int width, int height);
  // An owning bitmap whose pixels are left as they are, for a caller that
  // writes every one of them (a decoder, a copy). Same size rule as above.
  static Bitmap uninitialized(int width, int height);
  // A bitmap over the caller's pixels; fails on a bad size or stride.
  static Result<Bitmap> wrap(std::uint8_t* pixels, int width, int height, int stride);

  bool isNull() const { return data_ == nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::uint32_t* row(int y) {
    return reinterpret_cast<std::uint32_t*>(data_ + static_cast<std::ptrdiff_t>(y) * stride_);
  }
  const std::uint32_t* row(int y) const {
    return reinterpret_cast<const std::uint32_t*>(data_ + static_cast<std::ptrdiff_t>(y) * stride_);
  }

  // A hint that every pixel has full alpha (decoded JPEG, video frames): the
  // renderer then copies instead of blending.
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }

  // The premultiplied 0xAARRGGBB word at (x, y); 0 outside the bitmap.
  std::uint32_t pixel(int x, int y) const;
  // The colour at (x, y) with straight alpha; clear outside the bitmap.
  Color colorAt(int x, int y) const;
  void fill(Color color);
  Bitmap clone() const;

 private:
  struct FreePixels {
    void operator()(std::uint8_t* pixels) const;
  };
  Bitmap(int width, int height, bool zeroed);

  std::unique_ptr<std::uint8_t[], FreePixels> storage_;
  std::uint8_t* data_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  bool opaque_ = false;
};

// Premultiplies one straight-alpha colour into a 0xAARRGGBB word.
std::uint32_t premultipliedPixel(Color color);

}  // namespace velmoradine
