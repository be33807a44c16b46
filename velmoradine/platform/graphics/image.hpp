#pragma once

// An immutable image: shared premultiplied BGRA pixels (see bitmap.hpp) and a
// scale (pixels per point). Copies share the pixels. Decodes PNG and JPEG,
// encodes PNG, and JPEG with a quality through libjpeg-turbo.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

enum class ImageError {
  unreadableFile = 1,
  unsupportedFormat,
  corruptData,
  tooLarge,
  encodingFailed,
};
const ErrorCategory& imageErrorCategory();
std::error_code make_error_code(ImageError error);

class Image {
 public:
  explicit Image(Bitmap pixels, double scale = 1);
  explicit Image(std::shared_ptr<const Bitmap> pixels, double scale = 1);

  // The most pixels a decoded image may have (a 10000 × 5000 picture): a
  // small compressed file can claim a picture of gigabytes, so the size is
  // checked before any pixel memory is taken.
  static constexpr std::int64_t kMaximumPixelCount = 50'000'000;
  // The largest image file read: far beyond any picture within the budget.
  static constexpr std::size_t kMaximumFileSize = std::size_t{256} << 20;

  // PNG or JPEG, told apart by their signatures. Pictures larger than
  // `kMaximumPixelCount` fail with `tooLarge`.
  static Result<Image> decode(std::span<const std::uint8_t> bytes, double scale = 1);
  static Result<Image> decodePNG(std::span<const std::uint8_t> bytes, double scale = 1);
  static Result<Image> decodeJPEG(std::span<const std::uint8_t> bytes, double scale = 1);
  // Reads only a regular file of at most `kMaximumFileSize` bytes; anything
  // else (a directory, a device, a pipe) fails with `unreadableFile`.
  static Result<Image> read(const std::filesystem::path& path, double scale = 1);

  Result<std::vector<std::uint8_t>> pngData() const;
  // `quality` from 0 (smallest) to 1 (best). JPEG has no alpha: translucent
  // pixels come out as if drawn over black.
  Result<std::vector<std::uint8_t>> jpegData(double quality) const;

  const Bitmap& bitmap() const { return *pixels_; }
  const std::shared_ptr<const Bitmap>& sharedBitmap() const { return pixels_; }
  int pixelWidth() const { return pixels_->width(); }
  int pixelHeight() const { return pixels_->height(); }
  double scale() const { return scale_; }
  // The size in points: pixels divided by the scale.
  Size size() const { return {pixelWidth() / scale_, pixelHeight() / scale_}; }

  // Two images are equal when they share the same pixels and scale.
  friend bool operator==(const Image& a, const Image& b) {
    return a.pixels_ == b.pixels_ && a.scale_ == b.scale_;
  }

 private:
  std::shared_ptr<const Bitmap> pixels_;
  double scale_ = 1;
};

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::ImageError> : std::true_type {};
