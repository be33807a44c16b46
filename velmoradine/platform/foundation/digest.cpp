#include "velmoradine/platform/foundation/digest.hpp"

#include <openssl/evp.h>

namespace velmoradine {
namespace {

const EVP_MD* evpAlgorithm(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::md5:
      return EVP_md5();
    case DigestAlgorithm::sha1:
      return EVP_sha1();
    case DigestAlgorithm::sha224:
      return EVP_sha224();
    case DigestAlgorithm::sha256:
      return EVP_sha256();
    case DigestAlgorithm::sha384:
      return EVP_sha384();
    case DigestAlgorithm::sha512:
      return EVP_sha512();
  }
  return EVP_sha256();
}

}  // namespace

struct Digester::Context {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> evp{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};

std::size_t digestLength(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::md5:
      return 16;
    case DigestAlgorithm::sha1:
      return 20;
    case DigestAlgorithm::sha224:
      return 28;
    case DigestAlgorithm::sha256:
      return 32;
    case DigestAlgorithm::sha384:
      return 48;
    case DigestAlgorithm::sha512:
      return 64;
  }
  return 0;
}

Digester::Digester(DigestAlgorithm algorithm)
    : context_(std::make_unique<Context>()),
      ok_(context_->evp &&
          EVP_DigestInit_ex(context_->evp.get(), evpAlgorithm(algorithm), nullptr) == 1) {}

Digester::~Digester() = default;
Digester::Digester(Digester&&) noexcept = default;
Digester& Digester::operator=(Digester&&) noexcept = default;

void Digester::update(std::span<const std::uint8_t> bytes) {
  ok_ = ok_ && EVP_DigestUpdate(context_->evp.get(), bytes.data(), bytes.size()) == 1;
}

std::optional<std::vector<std::uint8_t>> Digester::finish() {
  std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  ok_ = ok_ && EVP_DigestFinal_ex(context_->evp.get(), digest.data(), &length) == 1;
  if (!ok_) return std::nullopt;
  ok_ = false;
  digest.resize(length);
  return digest;
}

std::optional<std::vector<std::uint8_t>> digestOf(DigestAlgorithm algorithm,
                                                  std::span<const std::uint8_t> bytes) {
  Digester digester(algorithm);
  digester.update(bytes);
  return digester.finish();
}

std::string base64Encoded(std::span<const std::uint8_t> bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3), '\0');
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                      static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(written));
  return text;
}

}  // namespace velmoradine
