// Reading the pixel sizes of stored videos and previews from their headers.

#include "server/media_size.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "tests/server/media_files.hpp"

namespace velmoradine::devserver {
namespace {

using testing::jpegFile;
using testing::mp4File;
using testing::Mp4Layout;

// An open descriptor of an in-memory file holding `bytes`.
class MemoryFile {
 public:
  explicit MemoryFile(const std::string& bytes) : descriptor_(::memfd_create("media", 0)) {
    EXPECT_EQ(::write(descriptor_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  ~MemoryFile() { ::close(descriptor_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

struct Mp4Case {
  const char* name;
  std::string bytes;
  std::optional<PixelSize> size;
};

TEST(DevServerMediaSize, ReadsTheDisplaySizeOfAnMp4sVideoTrack) {
  std::string landscape = mp4File({.width = 1280, .height = 720});
  const Mp4Case cases[] = {
      {"landscape", landscape, PixelSize{1280, 720}},
      {"portrait, version 1 header",
       mp4File({.width = 1080, .height = 1920, .trackHeaderVersion = 1}), PixelSize{1080, 1920}},
      {"recorded turned a quarter", mp4File({.width = 1920, .height = 1080, .quarterTurn = true}),
       PixelSize{1080, 1920}},
      {"size only in the sample entry",
       mp4File({.width = 720, .height = 1280, .sizeOnlyInSampleEntry = true}),
       PixelSize{720, 1280}},
      {"movie after the data", mp4File({.width = 640, .height = 480, .movieAfterData = true}),
       PixelSize{640, 480}},
      {"audio track first", mp4File({.width = 480, .height = 480, .audioTrackFirst = true}),
       PixelSize{480, 480}},
      {"zero size everywhere", mp4File({.width = 0, .height = 0, .sizeOnlyInSampleEntry = true}),
       std::nullopt},
      {"cut inside the movie box", landscape.substr(0, 200), std::nullopt},
      {"not an MP4", std::string(5000, 'x'), std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const auto& [name, bytes, size] : cases) {
    MemoryFile file(bytes);
    EXPECT_EQ(mp4DisplaySize(file.descriptor()), size) << name;
  }
}

TEST(DevServerMediaSize, ReadsTheSizeOfAJpeg) {
  struct JpegCase {
    const char* name;
    std::string bytes;
    std::optional<PixelSize> size;
  };
  std::string baseline = jpegFile(540, 960);
  const JpegCase cases[] = {
      {"baseline", baseline, PixelSize{540, 960}},
      {"progressive", jpegFile(1280, 720, 0xc2), PixelSize{1280, 720}},
      {"cut before the frame header", baseline.substr(0, 20), std::nullopt},
      {"not a JPEG", std::string(100, '\xff'), std::nullopt},
  };
  for (const auto& [name, bytes, size] : cases) {
    MemoryFile file(bytes);
    EXPECT_EQ(jpegSize(file.descriptor()), size) << name;
  }
}

}  // namespace
}  // namespace velmoradine::devserver
