#include "velmoradine/platform/graphics/image.hpp"

#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/foundation/fatal.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"

namespace velmoradine {
namespace {

using TjHandle = std::unique_ptr<void, decltype(&tjDestroy)>;

bool withinBudget(std::uint32_t width, std::uint32_t height) {
  return width <= static_cast<std::uint32_t>(Bitmap::kMaximumDimension) &&
         height <= static_cast<std::uint32_t>(Bitmap::kMaximumDimension) &&
         std::int64_t{width} * height <= Image::kMaximumPixelCount;
}

bool isPNG(std::span<const std::uint8_t> bytes) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return bytes.size() >= 8 && std::equal(kSignature, kSignature + 8, bytes.begin());
}

bool isJPEG(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

void premultiplyRows(Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    std::uint32_t* row = bitmap.row(y);
    for (int x = 0; x < bitmap.width(); ++x) {
      std::uint32_t p = row[x];
      std::uint32_t a = p >> 24;
      if (a == 255) continue;
      auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
      row[x] =
          (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
    }
  }
}

// Straight-alpha B, G, R, A bytes of `bitmap`, rows packed.
std::vector<std::uint8_t> unpremultipliedBytes(const Bitmap& bitmap) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(bitmap.width()) * bitmap.height() * 4);
  std::uint8_t* out = bytes.data();
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint32_t* row = bitmap.row(y);
    for (int x = 0; x < bitmap.width(); ++x, out += 4) {
      std::uint32_t p = row[x];
      std::uint32_t a = p >> 24;
      auto div = [a](std::uint32_t c) {
        return a == 0 ? 0U : std::min(255U, (c * 255 + a / 2) / a);
      };
      out[0] = static_cast<std::uint8_t>(div(p & 0xFF));
      out[1] = static_cast<std::uint8_t>(div((p >> 8) & 0xFF));
      out[2] = static_cast<std::uint8_t>(div((p >> 16) & 0xFF));
      out[3] = static_cast<std::uint8_t>(a);
    }
  }
  return bytes;
}

}  // namespace

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    ImageError, imageErrorCategory, "Velmoradine.Image",
    {ImageError::unreadableFile, "The image file could not be read",
     DetailInDescription::afterColon},
    {ImageError::unsupportedFormat, "The data is neither a PNG nor a JPEG image",
     DetailInDescription::afterColon},
    {ImageError::corruptData, "The image data is damaged", DetailInDescription::afterColon},
    {ImageError::tooLarge, "The image is too large", DetailInDescription::afterColon},
    {ImageError::encodingFailed, "The image could not be encoded", DetailInDescription::afterColon})

Image::Image(Bitmap pixels, double scale)
    : Image(std::make_shared<const Bitmap>(std::move(pixels)), scale) {}

Image::Image(std::shared_ptr<const Bitmap> pixels, double scale)
    : pixels_(std::move(pixels)), scale_(scale > 0 && std::isfinite(scale) ? scale : 1) {
  if (!pixels_ || pixels_->isNull()) fatalError("Image: made from a bitmap without pixels");
}

Result<Image> Image::decode(std::span<const std::uint8_t> bytes, double scale) {
  if (isPNG(bytes)) return decodePNG(bytes, scale);
  if (isJPEG(bytes)) return decodeJPEG(bytes, scale);
  return failure(Error(ImageError::unsupportedFormat));
}

Result<Image> Image::decodePNG(std::span<const std::uint8_t> bytes, double scale) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    std::string message = png.message;
    png_image_free(&png);
    return failure(
        Error(isPNG(bytes) ? ImageError::corruptData : ImageError::unsupportedFormat, message));
  }
  if (png.width == 0 || png.height == 0 || !withinBudget(png.width, png.height)) {
    png_image_free(&png);
    return failure(Error(ImageError::tooLarge));
  }
  bool hasAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.format = PNG_FORMAT_BGRA;
  Bitmap bitmap(static_cast<int>(png.width), static_cast<int>(png.height));
  if (!png_image_finish_read(&png, nullptr, bitmap.data(), bitmap.stride(), nullptr)) {
    std::string message = png.message;
    png_image_free(&png);
    return failure(Error(ImageError::corruptData, message));
  }
  if (hasAlpha) {
    premultiplyRows(bitmap);
  } else {
    bitmap.setOpaque(true);
  }
  return Image(std::move(bitmap), scale);
}

Result<Image> Image::decodeJPEG(std::span<const std::uint8_t> bytes, double scale) {
  if (!isJPEG(bytes)) return failure(Error(ImageError::unsupportedFormat));
  TjHandle handle(tjInitDecompress(), tjDestroy);
  if (!handle) return failure(Error(ImageError::corruptData, tjGetErrorStr()));
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                          &width, &height, &subsampling, &colorspace) != 0) {
    return failure(Error(ImageError::corruptData, tjGetErrorStr2(handle.get())));
  }
  if (width <= 0 || height <= 0) return failure(Error(ImageError::corruptData));
  if (!withinBudget(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height))) {
    return failure(Error(ImageError::tooLarge));
  }
  Bitmap bitmap(width, height);
  if (tjDecompress2(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                    bitmap.data(), width, bitmap.stride(), height, TJPF_BGRA,
                    TJFLAG_ACCURATEDCT) != 0 &&
      tjGetErrorCode(handle.get()) == TJERR_FATAL) {
    return failure(Error(ImageError::corruptData, tjGetErrorStr2(handle.get())));
  }
  bitmap.setOpaque(true);
  return Image(std::move(bitmap), scale);
}

Result<Image> Image::read(const std::filesystem::path& path, double scale) {
  Result<Data> bytes = readContents(path, kMaximumFileSize);
  if (!bytes) {
    return failure(Error(ImageError::unreadableFile,
                         path.string() + ": " + bytes.error().localizedDescription()));
  }
  return decode(*bytes, scale);
}

Result<std::vector<std::uint8_t>> Image::pngData() const {
  const Bitmap& bitmap = *pixels_;
  std::vector<std::uint8_t> pixels = unpremultipliedBytes(bitmap);
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(bitmap.width());
  png.height = static_cast<png_uint_32>(bitmap.height());
  png.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
    return failure(Error(ImageError::encodingFailed, png.message));
  }
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&png, out.data(), &size, 0, pixels.data(), 0, nullptr)) {
    return failure(Error(ImageError::encodingFailed, png.message));
  }
  out.resize(size);
  return out;
}

Result<std::vector<std::uint8_t>> Image::jpegData(double quality) const {
  const Bitmap& bitmap = *pixels_;
  TjHandle handle(tjInitCompress(), tjDestroy);
  if (!handle) return failure(Error(ImageError::encodingFailed, tjGetErrorStr()));
  double q = std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 1.0;
  int jpegQuality = std::clamp(static_cast<int>(std::lround(q * 100)), 1, 100);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  // Premultiplied colour with the alpha byte ignored is the image over black.
  if (tjCompress2(handle.get(), bitmap.data(), bitmap.width(), bitmap.stride(), bitmap.height(),
                  TJPF_BGRX, &buffer, &size, TJSAMP_420, jpegQuality, TJFLAG_ACCURATEDCT) != 0) {
    std::string message = tjGetErrorStr2(handle.get());
    tjFree(buffer);
    return failure(Error(ImageError::encodingFailed, message));
  }
  std::vector<std::uint8_t> out(buffer, buffer + size);
  tjFree(buffer);
  return out;
}

}  // namespace velmoradine
