#include "tests/platform/media/test_videos.hpp"

#include <cstdlib>
#include <fstream>
#include <vector>

#include "velmoradine/platform/media/video_writer.hpp"

namespace velmoradine::testing {
namespace {

void fillRect(Bitmap& picture, int x0, int y0, int width, int height, std::uint32_t argb) {
  for (int y = y0; y < y0 + height && y < picture.height(); ++y) {
    for (int x = x0; x < x0 + width && x < picture.width(); ++x) {
      picture.row(y)[x] = argb | 0xff000000;
    }
  }
}

}  // namespace

Bitmap testFrame(const TestVideo& video, int index) {
  Bitmap picture(video.width, video.height);
  picture.setOpaque(true);
  const std::uint32_t background =
      video.colors.empty() ? video.color : video.colors[index % video.colors.size()];
  fillRect(picture, 0, 0, video.width, video.height, background);
  const int block = video.width / 8;
  for (int bit = 0; bit < 8; ++bit) {
    fillRect(picture, bit * block, 0, block, video.height / 4,
             (index >> bit) & 1 ? 0xffffffff : 0xff000000);
  }
  fillRect(picture, 0, video.height / 4, video.width / 4, video.height / 4, 0xffff0000);
  return picture;
}

int frameIndex(const Bitmap& picture) {
  const int block = picture.width() / 8;
  int index = 0;
  for (int bit = 0; bit < 8; ++bit) {
    const std::uint32_t pixel = picture.pixel(bit * block + block / 2, picture.height() / 8);
    if ((pixel & 0xff) > 128) index |= 1 << bit;
  }
  return index;
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance) return false;
  }
  return true;
}

Result<void> writeTestVideo(const std::filesystem::path& path, const TestVideo& video) {
  VideoEncoderSettings settings;
  settings.width = video.width;
  settings.height = video.height;
  settings.frameDuration = MediaTime(1, video.framesPerSecond);
  settings.rotation = video.rotation;
  settings.optimizeForNetworkUse = video.faststart;
  settings.threads = 1;
  auto writer = VideoWriter::create(path, settings);
  if (!writer) return failure(writer.error());
  for (int index = 0; index < video.frames; ++index) {
    if (auto appended = (*writer)->append(testFrame(video, index)); !appended) return appended;
  }
  return (*writer)->finish();
}

void writeWave(const std::filesystem::path& path) {
  const std::uint32_t sampleRate = 8000, samples = 8000;
  std::vector<std::uint8_t> bytes;
  auto put = [&](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  auto tag = [&](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
  tag("RIFF");
  put(36 + samples * 2, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(sampleRate, 4);
  put(sampleRate * 2, 4);
  put(2, 2);
  put(16, 2);
  tag("data");
  put(samples * 2, 4);
  for (std::uint32_t i = 0; i < samples; ++i) put((i * 300) & 0xffff, 2);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace velmoradine::testing
