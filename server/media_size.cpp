#include "server/media_size.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velmoradine::devserver {

namespace {

using Bytes = std::span<const unsigned char>;

// A movie box holds only tables; beyond this the file is not one of ours.
constexpr std::uint64_t kMaxMovieBoxBytes = 32 * 1024 * 1024;
constexpr int kMaxTopLevelBoxes = 1024;
constexpr int kMaxJpegSegments = 4096;
constexpr int kMaxSide = 16384;

std::uint16_t be16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::uint32_t be32(const unsigned char* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::uint64_t be64(const unsigned char* bytes) {
  return std::uint64_t{be32(bytes)} << 32 | be32(bytes + 4);
}

bool readAt(int descriptor, std::uint64_t offset, unsigned char* into, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(descriptor, into + done, count - done, static_cast<off_t>(offset + done));
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::optional<PixelSize> plausible(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return std::nullopt;
  return PixelSize{width, height};
}

// A box header: its type, and where its body starts and ends relative to
// the header's start, bounded by `available` bytes (a size of 0 means "to
// the end").
struct BoxHeader {
  std::string_view type;
  std::uint64_t headerBytes = 0;
  std::uint64_t totalBytes = 0;
};

std::optional<BoxHeader> boxHeader(const unsigned char* header, std::size_t headerBytesRead,
                                   std::uint64_t available) {
  if (headerBytesRead < 8 || available < 8) return std::nullopt;
  BoxHeader box{std::string_view(reinterpret_cast<const char*>(header + 4), 4), 8, be32(header)};
  if (box.totalBytes == 1) {
    if (headerBytesRead < 16 || available < 16) return std::nullopt;
    box.headerBytes = 16;
    box.totalBytes = be64(header + 8);
  } else if (box.totalBytes == 0) {
    box.totalBytes = available;
  }
  if (box.totalBytes < box.headerBytes || box.totalBytes > available) return std::nullopt;
  return box;
}

std::optional<std::vector<unsigned char>> readMovieBox(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) return std::nullopt;
  auto fileSize = static_cast<std::uint64_t>(status.st_size);
  std::uint64_t offset = 0;
  for (int count = 0; count < kMaxTopLevelBoxes && offset < fileSize; ++count) {
    std::array<unsigned char, 16> header{};
    std::size_t headerBytes = std::min<std::uint64_t>(header.size(), fileSize - offset);
    if (!readAt(descriptor, offset, header.data(), headerBytes)) return std::nullopt;
    auto box = boxHeader(header.data(), headerBytes, fileSize - offset);
    if (!box) return std::nullopt;
    if (box->type == "moov") {
      std::uint64_t bodyBytes = box->totalBytes - box->headerBytes;
      if (bodyBytes > kMaxMovieBoxBytes) return std::nullopt;
      std::vector<unsigned char> body(bodyBytes);
      if (!readAt(descriptor, offset + box->headerBytes, body.data(), body.size()))
        return std::nullopt;
      return body;
    }
    offset += box->totalBytes;
  }
  return std::nullopt;
}

// The body of the first child box of `type` inside `parent`.
std::optional<Bytes> child(Bytes parent, std::string_view type) {
  while (!parent.empty()) {
    auto box = boxHeader(parent.data(), parent.size(), parent.size());
    if (!box) return std::nullopt;
    if (box->type == type)
      return parent.subspan(box->headerBytes, box->totalBytes - box->headerBytes);
    parent = parent.subspan(box->totalBytes);
  }
  return std::nullopt;
}

std::optional<Bytes> descend(Bytes parent, std::initializer_list<std::string_view> path) {
  std::optional<Bytes> current = parent;
  for (auto type : path) {
    if (!current) return std::nullopt;
    current = child(*current, type);
  }
  return current;
}

bool isVideoTrack(Bytes track) {
  auto handler = descend(track, {"mdia", "hdlr"});
  return handler && handler->size() >= 12 &&
         std::string_view(reinterpret_cast<const char*>(handler->data() + 8), 4) == "vide";
}

// The track header's size and whether its matrix turns the picture a quarter.
struct TrackHeaderSize {
  int width = 0;
  int height = 0;
  bool quarterTurn = false;
};

std::optional<TrackHeaderSize> trackHeaderSize(Bytes track) {
  auto header = child(track, "tkhd");
  if (!header || header->empty()) return std::nullopt;
  bool version1 = (*header)[0] == 1;
  std::size_t matrixOffset = version1 ? 52 : 40;
  std::size_t sizeOffset = version1 ? 88 : 76;
  if (header->size() < sizeOffset + 8) return std::nullopt;
  auto a = static_cast<std::int32_t>(be32(header->data() + matrixOffset));
  auto b = static_cast<std::int32_t>(be32(header->data() + matrixOffset + 4));
  auto fixed = [&](std::size_t offset) {
    return static_cast<int>((be32(header->data() + offset) + 0x8000u) >> 16);
  };
  return TrackHeaderSize{fixed(sizeOffset), fixed(sizeOffset + 4), a == 0 && b != 0};
}

// The coded size of the track's first visual sample entry.
std::optional<PixelSize> sampleEntrySize(Bytes track) {
  auto descriptions = descend(track, {"mdia", "minf", "stbl", "stsd"});
  // Version and flags, the entry count, then the entry: its box header,
  // six reserved bytes, the data reference index and 16 bytes before the size.
  constexpr std::size_t kWidthOffset = 8 + 8 + 6 + 2 + 16;
  if (!descriptions || descriptions->size() < kWidthOffset + 4) return std::nullopt;
  return plausible(be16(descriptions->data() + kWidthOffset),
                   be16(descriptions->data() + kWidthOffset + 2));
}

std::optional<PixelSize> videoTrackSize(Bytes track) {
  auto header = trackHeaderSize(track);
  if (!header) return std::nullopt;
  auto size = plausible(header->width, header->height);
  if (!size) size = sampleEntrySize(track);
  if (size && header->quarterTurn) std::swap(size->width, size->height);
  return size;
}

bool isStartOfFrame(unsigned char marker) {
  return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

bool isStandalone(unsigned char marker) {
  return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8);
}

}  // namespace

std::optional<PixelSize> mp4DisplaySize(int descriptor) {
  auto movie = readMovieBox(descriptor);
  if (!movie) return std::nullopt;
  Bytes rest(*movie);
  while (!rest.empty()) {
    auto box = boxHeader(rest.data(), rest.size(), rest.size());
    if (!box) return std::nullopt;
    Bytes body = rest.subspan(box->headerBytes, box->totalBytes - box->headerBytes);
    if (box->type == "trak" && isVideoTrack(body)) return videoTrackSize(body);
    rest = rest.subspan(box->totalBytes);
  }
  return std::nullopt;
}

std::optional<PixelSize> jpegSize(int descriptor) {
  std::array<unsigned char, 9> bytes{};
  if (!readAt(descriptor, 0, bytes.data(), 2) || bytes[0] != 0xff || bytes[1] != 0xd8)
    return std::nullopt;
  std::uint64_t offset = 2;
  for (int count = 0; count < kMaxJpegSegments; ++count) {
    if (!readAt(descriptor, offset, bytes.data(), 2) || bytes[0] != 0xff) return std::nullopt;
    unsigned char marker = bytes[1];
    if (marker == 0xff) {
      offset += 1;
      continue;
    }
    if (isStandalone(marker)) {
      offset += 2;
      continue;
    }
    // Scan data or the end of the image before any frame header.
    if (marker == 0xda || marker == 0xd9) return std::nullopt;
    if (!readAt(descriptor, offset + 2, bytes.data(), 2)) return std::nullopt;
    std::uint16_t length = be16(bytes.data());
    if (length < 2) return std::nullopt;
    if (isStartOfFrame(marker)) {
      if (length < 7 || !readAt(descriptor, offset + 4, bytes.data(), 5)) return std::nullopt;
      return plausible(be16(bytes.data() + 3), be16(bytes.data() + 1));
    }
    offset += 2 + length;
  }
  return std::nullopt;
}

}  // namespace velmoradine::devserver
