#pragma once

// Digests, random tokens and the text encodings the devserver puts on the
// wire. Everything here is a thin layer over OpenSSL's libcrypto.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmoradine::devserver {

// `count` bytes from the operating system's cryptographic generator.
std::string randomBytes(std::size_t count);

std::string hexEncode(std::string_view bytes);
// Standard Base64 (RFC 4648 alphabet, with padding).
std::string base64Encode(std::string_view bytes);
// Decodes standard Base64 with padding; nothing for any other input.
std::optional<std::string> base64Decode(std::string_view text);
// Base64 with the URL-safe alphabet and no padding: tokens that sit in paths.
std::string base64UrlEncode(std::string_view bytes);

// HMAC-SHA-256 of `message` under `key`, as raw bytes.
std::string hmacSha256(std::string_view key, std::string_view message);

// Compares two texts in time that depends only on their lengths, so a
// signature check does not reveal how many leading characters matched.
bool constantTimeEquals(std::string_view a, std::string_view b);

// MD5 over data that arrives in pieces (an upload read from a socket).
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  void update(const void* data, std::size_t size);
  // The 16-byte digest; the object is spent afterwards.
  std::string finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// MD5 of `bytes` in standard Base64: the form of an upload plan's checksum.
std::string md5Base64(std::string_view bytes);

}  // namespace velmoradine::devserver
