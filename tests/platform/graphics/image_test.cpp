#include "velmoradine/platform/graphics/image.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "pixel_expectations.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

using testing::pixelIs;

Bitmap quadrants() {
  Bitmap bitmap(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      Color c = y < 8 ? (x < 8 ? testing::red() : testing::green())
                      : (x < 8 ? testing::blue() : Color::rgba(1, 1, 1, 0.5));
      bitmap.row(y)[x] = premultipliedPixel(c);
    }
  }
  return bitmap;
}

TEST(Bitmap, StartsTransparentAndFills) {
  Bitmap bitmap(4, 3);
  EXPECT_EQ(bitmap.stride(), 16);
  EXPECT_EQ(bitmap.pixel(3, 2), 0u);
  bitmap.fill(Color::rgba(1, 0, 0, 0.5));
  EXPECT_EQ(bitmap.pixel(1, 1), 0x80800000u);
  EXPECT_TRUE(pixelIs(bitmap, 1, 1, Color::rgba(1, 0, 0, 0.5)));
  EXPECT_EQ(bitmap.pixel(-1, 0), 0u);
  EXPECT_EQ(bitmap.pixel(4, 0), 0u);
}

TEST(Bitmap, FrameSizedBitmapsStartTransparentEvenWhenTheirMemoryWasUsedBefore) {
  // Large bitmaps come from a page-aligned allocator that may hand back
  // memory a freed bitmap wrote.
  for (int round = 0; round < 3; ++round) {
    {
      Bitmap used = Bitmap::uninitialized(1920, 1080);
      used.fill(Color::white());
    }
    Bitmap fresh(1920, 1080);
    bool clear = true;
    for (int y = 0; y < fresh.height() && clear; y += 7) {
      for (int x = 0; x < fresh.width(); x += 13) clear = clear && fresh.pixel(x, y) == 0;
    }
    EXPECT_TRUE(clear) << "round " << round;
    EXPECT_EQ(fresh.pixel(1919, 1079), 0u);
  }
}

TEST(Bitmap, ACloneIsAnIndependentCopy) {
  Bitmap large(1500, 900);
  large.fill(Color::white());
  large.row(899)[1499] = 0xff102030;
  large.setOpaque(true);
  Bitmap copy = large.clone();
  EXPECT_EQ(copy.pixel(1499, 899), 0xff102030u);
  EXPECT_EQ(copy.pixel(0, 0), 0xffffffffu);
  EXPECT_TRUE(copy.isOpaque());
  large.row(0)[0] = 0;
  EXPECT_EQ(copy.pixel(0, 0), 0xffffffffu);
}

TEST(Bitmap, BytesInMemoryAreBlueGreenRedAlpha) {
  Bitmap bitmap(1, 1);
  bitmap.fill(Color::rgba(1, 0.5, 0, 1));
  const std::uint8_t* bytes = bitmap.data();
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 128);
  EXPECT_EQ(bytes[2], 255);
  EXPECT_EQ(bytes[3], 255);
}

TEST(Bitmap, WrapRejectsBadStrideAndSize) {
  std::vector<std::uint8_t> buffer(64 * 4);
  EXPECT_TRUE(Bitmap::wrap(buffer.data(), 8, 4, 40));
  EXPECT_FALSE(Bitmap::wrap(buffer.data(), 8, 4, 30));
  EXPECT_FALSE(Bitmap::wrap(buffer.data(), 8, 4, 42));
  EXPECT_FALSE(Bitmap::wrap(buffer.data(), 0, 4, 40));
  EXPECT_FALSE(Bitmap::wrap(nullptr, 8, 4, 40));
  EXPECT_FALSE(Bitmap::create(Bitmap::kMaximumDimension + 1, 1));
}

TEST(Bitmap, WrapWritesIntoCallersBuffer) {
  std::vector<std::uint8_t> buffer(8 * 2, 0);
  auto bitmap = Bitmap::wrap(buffer.data(), 1, 2, 8);
  ASSERT_TRUE(bitmap);
  bitmap->fill(Color::white());
  EXPECT_EQ(buffer[0], 255);
  EXPECT_EQ(buffer[4], 0);  // the padding after the row is left alone
  EXPECT_EQ(buffer[8], 255);
}

TEST(Image, PNGRoundTripKeepsPremultipliedPixels) {
  Image image(quadrants(), 2);
  auto png = image.pngData();
  ASSERT_TRUE(png) << png.error().localizedDescription();
  auto decoded = Image::decode(*png, 2);
  ASSERT_TRUE(decoded) << decoded.error().localizedDescription();
  EXPECT_EQ(decoded->pixelWidth(), 16);
  EXPECT_EQ(decoded->size(), (Size{8, 8}));
  EXPECT_FALSE(decoded->bitmap().isOpaque());
  for (auto [x, y] : {std::pair{0, 0}, {15, 0}, {0, 15}, {15, 15}}) {
    EXPECT_EQ(decoded->bitmap().pixel(x, y), image.bitmap().pixel(x, y)) << x << "," << y;
  }
}

TEST(Image, JPEGRoundTripIsCloseAndQualityChangesSize) {
  Bitmap bitmap(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x)
      bitmap.row(y)[x] = premultipliedPixel(Color::rgba(x / 63.0, y / 63.0, 0.5));
  }
  Image image(std::move(bitmap));
  auto best = image.jpegData(1.0);
  auto worst = image.jpegData(0.0);
  ASSERT_TRUE(best);
  ASSERT_TRUE(worst);
  EXPECT_LT(worst->size(), best->size());
  auto decoded = Image::decode(*best);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(decoded->bitmap().isOpaque());
  EXPECT_TRUE(pixelIs(decoded->bitmap(), 32, 10, Color::rgba(32 / 63.0, 10 / 63.0, 0.5), 0.04));
}

TEST(Image, JPEGOfTranslucentPixelsIsOverBlack) {
  Bitmap bitmap(16, 16);
  bitmap.fill(Color::rgba(1, 1, 1, 0.5));
  auto jpeg = Image(std::move(bitmap)).jpegData(1);
  ASSERT_TRUE(jpeg);
  auto decoded = Image::decodeJPEG(*jpeg);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(pixelIs(decoded->bitmap(), 8, 8, Color::rgba(0.5, 0.5, 0.5), 0.02));
}

TEST(Image, UnknownBytesAreUnsupported) {
  std::vector<std::uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  auto result = Image::decode(bytes);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), ImageError::unsupportedFormat);
  EXPECT_EQ(Image::decode({}).error(), ImageError::unsupportedFormat);
}

TEST(Image, TruncatedDataIsCorrupt) {
  auto png = Image(quadrants()).pngData();
  ASSERT_TRUE(png);
  std::vector<std::uint8_t> cut(png->begin(), png->begin() + 40);
  auto result = Image::decode(cut);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), ImageError::corruptData);

  std::vector<std::uint8_t> jpegHead = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'};
  auto jpeg = Image::decode(jpegHead);
  ASSERT_FALSE(jpeg);
  EXPECT_EQ(jpeg.error(), ImageError::corruptData);
}

TEST(Image, ReadsFilesAndReportsMissingOnes) {
  testing::TemporaryDirectory directory;
  auto png = Image(quadrants()).pngData();
  ASSERT_TRUE(png);
  auto path = directory.path() / "q.png";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(png->data()), png->size());
  auto image = Image::read(path);
  ASSERT_TRUE(image);
  EXPECT_TRUE(pixelIs(image->bitmap(), 12, 2, testing::green()));
  auto missing = Image::read(directory.path() / "none.png");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), ImageError::unreadableFile);
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void putBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// A small PNG whose header claims `width` × `height` pixels.
std::vector<std::uint8_t> pngClaiming(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> png = Image(quadrants()).pngData().value();
  // Signature (8), IHDR length and type (8), then width and height.
  putBigEndian(png, 16, width);
  putBigEndian(png, 20, height);
  putBigEndian(png, 29, crc32(std::span(png).subspan(12, 17)));
  return png;
}

TEST(Image, PicturesBeyondThePixelBudgetAreRefusedBeforeDecoding) {
  struct Case {
    std::uint32_t width, height;
  };
  for (Case c : {Case{30000, 30000}, Case{8000, 8000}, Case{32767, 1600}}) {
    auto result = Image::decode(pngClaiming(c.width, c.height));
    ASSERT_FALSE(result) << c.width << "x" << c.height;
    EXPECT_EQ(result.error(), ImageError::tooLarge) << c.width << "x" << c.height;
  }
}

TEST(Image, OnlyRegularFilesAreRead) {
  testing::TemporaryDirectory directory;
  auto pipe = directory.path() / "pipe.png";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::filesystem::path& path :
       {directory.path(), std::filesystem::path("/dev/zero"), pipe}) {
    auto result = Image::read(path);
    ASSERT_FALSE(result) << path;
    EXPECT_EQ(result.error(), ImageError::unreadableFile) << path;
  }
}

}  // namespace
}  // namespace velmoradine
