#pragma once

// Digests of byte buffers and texts (MD5 of RFC 1321, SHA-1 and SHA-2 of
// FIPS 180-4), printed as lowercase hex or standard Base64. Each call hashes
// the caller's buffer in one pass, without copying it; any length is fine.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/digest.hpp"

namespace velmoradine {

// `digestLength(HashType)` comes with the algorithms from the platform.
using HashType = DigestAlgorithm;
enum class HashOutputType { hex, base64 };

// The MD5 digest of `data` in Base64: 24 characters ending in "==". Fails
// (ENOMEM) only when memory runs out, as do the digests below.
Result<std::string> md5Base64(std::span<const std::uint8_t> data);

// The MD5 digest of `data` in Base64, taken in one pass over bounded chunks,
// so a viewed file is read, never mapped or copied whole. Fails when a viewed
// file can no longer supply its bytes.
Result<std::string> streamedMD5Base64(const Data& data);

// The digest of `data`; nothing only when memory runs out.
std::optional<std::string> hashed(std::span<const std::uint8_t> data, HashType type,
                                  HashOutputType output);
// The digest of the DER SubjectPublicKeyInfo header of an RSA-2048 key
// followed by `data` (the key's DER form): the usual input of a key pin;
// nothing only when memory runs out.
std::optional<std::string> hashWithRSA2048Asn1Header(std::span<const std::uint8_t> data,
                                                     HashType type, HashOutputType output);
// The digest of the UTF-8 bytes of `text`; nothing when `text` is not valid
// UTF-8, as it would have to be altered to be hashed.
std::optional<std::string> hashed(std::string_view text, HashType type, HashOutputType output);

}  // namespace velmoradine
