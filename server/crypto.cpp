#include "server/crypto.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <stdexcept>

#include "velmoradine/platform/foundation/digest.hpp"

namespace velmoradine::devserver {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kBase64UrlAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string encode(std::string_view bytes, std::string_view alphabet, bool pad) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    std::uint32_t n = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) |
                      std::uint8_t(bytes[i + 2]);
    out += alphabet[(n >> 18) & 63];
    out += alphabet[(n >> 12) & 63];
    out += alphabet[(n >> 6) & 63];
    out += alphabet[n & 63];
  }
  std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t n = std::uint8_t(bytes[i]) << 16;
    if (rest == 2) n |= std::uint8_t(bytes[i + 1]) << 8;
    out += alphabet[(n >> 18) & 63];
    out += alphabet[(n >> 12) & 63];
    if (rest == 2) out += alphabet[(n >> 6) & 63];
    if (pad) out.append(rest == 1 ? "==" : "=");
  }
  return out;
}

}  // namespace

std::string randomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
    throw std::runtime_error("the random generator failed");
  }
  return bytes;
}

std::string hexEncode(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string base64Encode(std::string_view bytes) {
  return encode(bytes, kBase64Alphabet, true);
}

std::string base64UrlEncode(std::string_view bytes) {
  return encode(bytes, kBase64UrlAlphabet, false);
}

std::optional<std::string> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t n = 0;
    int padding = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      char c = text[i + j];
      std::size_t value = 0;
      if (c == '=') {
        // Padding only closes the last group, after at least two symbols.
        if (i + 4 != text.size() || j < 2) return std::nullopt;
        ++padding;
      } else {
        if (padding > 0) return std::nullopt;
        value = kBase64Alphabet.find(c);
        if (value == std::string_view::npos) return std::nullopt;
      }
      n = (n << 6) | static_cast<std::uint32_t>(value);
    }
    out += static_cast<char>((n >> 16) & 0xff);
    if (padding < 2) out += static_cast<char>((n >> 8) & 0xff);
    if (padding < 1) out += static_cast<char>(n & 0xff);
  }
  return out;
}

std::string hmacSha256(std::string_view key, std::string_view message) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
           reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest,
           &length) == nullptr) {
    throw std::runtime_error("HMAC-SHA-256 failed");
  }
  return std::string(reinterpret_cast<const char*>(digest), length);
}

bool constantTimeEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

struct Md5::State {
  Digester digester{DigestAlgorithm::md5};
};

Md5::Md5() : state_(std::make_unique<State>()) {}

Md5::~Md5() = default;

void Md5::update(const void* data, std::size_t size) {
  state_->digester.update({static_cast<const std::uint8_t*>(data), size});
}

std::string Md5::finish() {
  const auto digest = state_->digester.finish();
  if (!digest) throw std::runtime_error("MD5 is unavailable");
  return std::string(digest->begin(), digest->end());
}

std::string md5Base64(std::string_view bytes) {
  Md5 md5;
  md5.update(bytes.data(), bytes.size());
  return base64Encode(md5.finish());
}

}  // namespace velmoradine::devserver
