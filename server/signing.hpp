#pragma once

// Signed upload addresses. The storage endpoint trusts nothing in an upload
// request except what the signature covers: the storage key and the expiry.
// Everything else (size, checksum, media type) is looked up by the key in
// the database, so a client cannot change the plan by editing the address.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmoradine::devserver {

class UploadSigner {
 public:
  using Clock = std::chrono::system_clock;

  // `secret` is the server's persistent signing key (raw bytes), so that
  // addresses handed out before a restart stay valid after it.
  explicit UploadSigner(std::string secret) : secret_(std::move(secret)) {}

  // Lowercase hex HMAC-SHA-256 over the key and the expiry (Unix seconds).
  std::string signature(std::string_view storageKey, std::int64_t expires) const;

  enum class Verdict { valid, badSignature, expired };
  // Checks the signature first, in constant time, and only then the expiry,
  // so an edited expiry reads as a bad signature. An address is expired from
  // its expiry second on.
  Verdict verify(std::string_view storageKey, std::string_view expires, std::string_view signature,
                 Clock::time_point now) const;

 private:
  std::string secret_;
};

}  // namespace velmoradine::devserver
