#pragma once

// Message digests (MD5 of RFC 1321, SHA-1 and SHA-2 of FIPS 180-4) and the
// Base64 form they are usually printed in. This is the kit's one home of
// libcrypto's digest code: the backend client, device facts and the
// devserver all hash through it.
//
// Threading: a Digester is used by one thread at a time; the free functions
// are safe from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmoradine {

enum class DigestAlgorithm { md5, sha1, sha224, sha256, sha384, sha512 };

// The digest length in bytes (16 for MD5 … 64 for SHA-512).
std::size_t digestLength(DigestAlgorithm algorithm);

// A digest over bytes that arrive in pieces; the result is that of the
// pieces joined into one buffer.
class Digester {
 public:
  explicit Digester(DigestAlgorithm algorithm);
  ~Digester();
  Digester(Digester&&) noexcept;
  Digester& operator=(Digester&&) noexcept;

  void update(std::span<const std::uint8_t> bytes);
  // The digest, or nothing when libcrypto could not take it (it fails only
  // when memory runs out). The digester is spent afterwards.
  std::optional<std::vector<std::uint8_t>> finish();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  bool ok_;
};

// The digest of `bytes` in one pass, or nothing when memory ran out.
std::optional<std::vector<std::uint8_t>> digestOf(DigestAlgorithm algorithm,
                                                  std::span<const std::uint8_t> bytes);

// Standard Base64 (RFC 4648 alphabet, with padding).
std::string base64Encoded(std::span<const std::uint8_t> bytes);

}  // namespace velmoradine
