#include "tests/server/media_files.hpp"

#include <cstdint>
#include <initializer_list>

namespace velmoradine::testing {

namespace {

void appendBigEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

std::string box(const char* type, const std::string& body) {
  std::string out;
  appendBigEndian(out, 8 + body.size(), 4);
  out += type;
  return out + body;
}

std::string boxes(std::initializer_list<std::string> parts) {
  std::string out;
  for (const auto& part : parts) out += part;
  return out;
}

std::string trackHeader(const Mp4Layout& layout) {
  bool version1 = layout.trackHeaderVersion == 1;
  std::string body;
  appendBigEndian(body, version1 ? 0x01000007 : 0x00000007, 4);
  // Times, track id, reserved and duration; then reserved, layer, group,
  // volume and reserved.
  body.append(version1 ? 32 : 20, '\0');
  body.append(16, '\0');
  std::int32_t a = layout.quarterTurn ? 0 : 0x10000;
  std::int32_t b = layout.quarterTurn ? 0x10000 : 0;
  for (std::int32_t value : {a, b, 0, -b, a, 0, 0, 0, 0x40000000}) {
    appendBigEndian(body, static_cast<std::uint32_t>(value), 4);
  }
  int width = layout.sizeOnlyInSampleEntry ? 0 : layout.width;
  int height = layout.sizeOnlyInSampleEntry ? 0 : layout.height;
  appendBigEndian(body, static_cast<std::uint64_t>(width) << 16, 4);
  appendBigEndian(body, static_cast<std::uint64_t>(height) << 16, 4);
  return box("tkhd", body);
}

std::string handler(const char* type) {
  std::string body(8, '\0');
  body += type;
  body.append(12, '\0');
  body += "handler";
  body += '\0';
  return box("hdlr", body);
}

std::string sampleDescriptions(const Mp4Layout& layout) {
  std::string entry(6, '\0');
  appendBigEndian(entry, 1, 2);
  entry.append(16, '\0');
  appendBigEndian(entry, static_cast<std::uint64_t>(layout.width), 2);
  appendBigEndian(entry, static_cast<std::uint64_t>(layout.height), 2);
  entry.append(50, '\0');
  std::string body(4, '\0');
  appendBigEndian(body, 1, 4);
  return box("stsd", body + box("avc1", entry));
}

std::string videoTrack(const Mp4Layout& layout) {
  return box("trak",
             boxes({trackHeader(layout),
                    box("mdia", boxes({box("mdhd", std::string(24, '\0')), handler("vide"),
                                       box("minf", box("stbl", sampleDescriptions(layout)))}))}));
}

std::string audioTrack() {
  return box("trak",
             boxes({box("tkhd", std::string(84, '\0')), box("mdia", boxes({handler("soun")}))}));
}

}  // namespace

std::string mp4File(const Mp4Layout& layout) {
  std::string fileType = box("ftyp", std::string("isom\0\0\0\1isomavc1", 16));
  std::string movie = box(
      "moov", boxes({box("mvhd", std::string(100, '\0')),
                     layout.audioTrackFirst ? audioTrack() : std::string(), videoTrack(layout)}));
  std::string data = box("mdat", std::string(4096, '\x5a'));
  return layout.movieAfterData ? fileType + data + movie : fileType + movie + data;
}

std::string jpegFile(int width, int height, unsigned char frameMarker) {
  std::string out = "\xff\xd8";
  out += "\xff\xe0";
  appendBigEndian(out, 16, 2);
  out += std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14);
  out += '\xff';
  out += static_cast<char>(frameMarker);
  appendBigEndian(out, 17, 2);
  out += '\x08';
  appendBigEndian(out, static_cast<std::uint64_t>(height), 2);
  appendBigEndian(out, static_cast<std::uint64_t>(width), 2);
  out += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
  out += "\xff\xd9";
  return out;
}

}  // namespace velmoradine::testing
