#include "velmoradine/platform/graphics/bitmap.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {
namespace {

bool validSize(int width, int height) {
  return width > 0 && height > 0 && width <= Bitmap::kMaximumDimension &&
         height <= Bitmap::kMaximumDimension;
}

// Frames are megabytes each: on 2 MiB pages they cost a few page faults
// instead of hundreds, which on a fresh buffer costs more than the pixels.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::uint8_t* allocatePixels(std::size_t bytes, bool zeroed) {
  void* pixels = nullptr;
  if (bytes >= kLargePage) {
    const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    pixels = std::aligned_alloc(kLargePage, rounded);
    if (pixels) madvise(pixels, rounded, MADV_HUGEPAGE);
    if (pixels && zeroed) std::memset(pixels, 0, bytes);
  } else {
    pixels = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  }
  if (!pixels) fatalError("Bitmap: out of memory");
  return static_cast<std::uint8_t*>(pixels);
}

std::uint8_t channel(double value) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

}  // namespace

std::uint32_t premultipliedPixel(Color color) {
  double alpha = std::clamp(color.alpha, 0.0, 1.0);
  return (std::uint32_t{channel(alpha)} << 24) | (std::uint32_t{channel(color.red * alpha)} << 16) |
         (std::uint32_t{channel(color.green * alpha)} << 8) | channel(color.blue * alpha);
}

Bitmap::Bitmap(int width, int height) : Bitmap(width, height, true) {}

Bitmap::Bitmap(int width, int height, bool zeroed) {
  if (!validSize(width, height)) fatalError("Bitmap: size out of range");
  stride_ = width * 4;
  storage_.reset(allocatePixels(static_cast<std::size_t>(stride_) * height, zeroed));
  data_ = storage_.get();
  width_ = width;
  height_ = height;
}

Bitmap Bitmap::uninitialized(int width, int height) {
  return Bitmap(width, height, false);
}

void Bitmap::FreePixels::operator()(std::uint8_t* pixels) const {
  std::free(pixels);
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : storage_(std::move(other.storage_)),
      data_(std::exchange(other.data_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)),
      opaque_(std::exchange(other.opaque_, false)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this != &other) {
    storage_ = std::move(other.storage_);
    data_ = std::exchange(other.data_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    stride_ = std::exchange(other.stride_, 0);
    opaque_ = std::exchange(other.opaque_, false);
  }
  return *this;
}

Bitmap::~Bitmap() = default;

Result<Bitmap> Bitmap::create(int width, int height) {
  if (!validSize(width, height)) return failure(Error::posix(EINVAL, "bitmap size out of range"));
  return Bitmap(width, height);
}

Result<Bitmap> Bitmap::wrap(std::uint8_t* pixels, int width, int height, int stride) {
  if (pixels == nullptr || !validSize(width, height) || stride % 4 != 0 || stride < width * 4) {
    return failure(Error::posix(EINVAL, "bitmap buffer, size or stride invalid"));
  }
  Bitmap bitmap;
  bitmap.data_ = pixels;
  bitmap.width_ = width;
  bitmap.height_ = height;
  bitmap.stride_ = stride;
  return bitmap;
}

std::uint32_t Bitmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return row(y)[x];
}

Color Bitmap::colorAt(int x, int y) const {
  std::uint32_t p = pixel(x, y);
  double alpha = (p >> 24) / 255.0;
  if (alpha == 0) return Color::clear();
  auto straight = [&](int shift) { return std::min(1.0, ((p >> shift) & 0xFF) / 255.0 / alpha); };
  return {straight(16), straight(8), straight(0), alpha};
}

void Bitmap::fill(Color color) {
  std::uint32_t value = premultipliedPixel(color);
  for (int y = 0; y < height_; ++y) std::fill_n(row(y), width_, value);
}

Bitmap Bitmap::clone() const {
  if (isNull()) return {};
  Bitmap copy = uninitialized(width_, height_);
  for (int y = 0; y < height_; ++y)
    std::memcpy(copy.row(y), row(y), static_cast<std::size_t>(width_) * 4);
  copy.opaque_ = opaque_;
  return copy;
}

}  // namespace velmoradine
