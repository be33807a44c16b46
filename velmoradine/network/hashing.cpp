#include "velmoradine/network/hashing.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

namespace velmoradine {
namespace {

constexpr std::array<std::uint8_t, 24> kRSA2048Asn1Header = {
    0x30, 0x82, 0x01, 0x22, 0x30, 0x0d, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86,
    0xf7, 0x0d, 0x01, 0x01, 0x01, 0x05, 0x00, 0x03, 0x82, 0x01, 0x0f, 0x00};

// Hashes the parts one after the other, as if they were one buffer. The
// digest functions of libcrypto fail only when memory runs out: nothing then.
std::optional<std::vector<std::uint8_t>> digest(
    HashType type, std::initializer_list<std::span<const std::uint8_t>> parts) {
  Digester digester(type);
  for (const auto& part : parts) digester.update(part);
  return digester.finish();
}

Error md5Unavailable() {
  return Error::posix(ENOMEM, "the MD5 digest could not be taken");
}

std::string hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0f];
  }
  return text;
}

std::string format(std::span<const std::uint8_t> bytes, HashOutputType output) {
  return output == HashOutputType::hex ? hex(bytes) : base64Encoded(bytes);
}

bool isValidUTF8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80           ? 1
                         : (byte >> 5) == 0x6  ? 2
                         : (byte >> 4) == 0xe  ? 3
                         : (byte >> 3) == 0x1e ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) return false;
    std::uint32_t code = length == 1 ? byte : byte & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = (code << 6) | (next & 0x3f);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

Result<std::string> md5Base64(std::span<const std::uint8_t> data) {
  auto bytes = digest(HashType::md5, {data});
  if (!bytes) return failure(md5Unavailable());
  return base64Encoded(*bytes);
}

Result<std::string> streamedMD5Base64(const Data& data) {
  constexpr std::size_t kChunk = std::size_t{1} << 18;
  std::vector<std::uint8_t> chunk(std::min(kChunk, data.size()));
  Digester digester(HashType::md5);
  for (std::size_t offset = 0; offset < data.size(); offset += chunk.size()) {
    const std::span<std::uint8_t> part(chunk.data(), std::min(chunk.size(), data.size() - offset));
    if (auto filled = data.read(offset, part); !filled) return failure(filled.error());
    digester.update(part);
  }
  auto md5 = digester.finish();
  if (!md5) return failure(md5Unavailable());
  return base64Encoded(*md5);
}

std::optional<std::string> hashed(std::span<const std::uint8_t> data, HashType type,
                                  HashOutputType output) {
  auto bytes = digest(type, {data});
  if (!bytes) return std::nullopt;
  return format(*bytes, output);
}

std::optional<std::string> hashWithRSA2048Asn1Header(std::span<const std::uint8_t> data,
                                                     HashType type, HashOutputType output) {
  auto bytes = digest(type, {kRSA2048Asn1Header, data});
  if (!bytes) return std::nullopt;
  return format(*bytes, output);
}
std::optional<std::string> hashed(std::string_view text, HashType type, HashOutputType output) {
  if (!isValidUTF8(text)) return std::nullopt;
  return hashed(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), type,
                output);
}

}  // namespace velmoradine
