#include "server/signing.hpp"

#include <charconv>

#include "server/crypto.hpp"

namespace velmoradine::devserver {

std::string UploadSigner::signature(std::string_view storageKey, std::int64_t expires) const {
  std::string message = "PUT\n";
  message += storageKey;
  message += '\n';
  message += std::to_string(expires);
  return hexEncode(hmacSha256(secret_, message));
}

UploadSigner::Verdict UploadSigner::verify(std::string_view storageKey, std::string_view expires,
                                           std::string_view signature,
                                           Clock::time_point now) const {
  std::int64_t expiry = 0;
  auto [end, error] = std::from_chars(expires.data(), expires.data() + expires.size(), expiry);
  if (error != std::errc() || end != expires.data() + expires.size() || expires.empty() ||
      std::to_string(expiry) != expires) {
    return Verdict::badSignature;
  }
  if (!constantTimeEquals(this->signature(storageKey, expiry), signature)) {
    return Verdict::badSignature;
  }
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  return seconds >= expiry ? Verdict::expired : Verdict::valid;
}

}  // namespace velmoradine::devserver
