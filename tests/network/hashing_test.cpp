#include "velmoradine/network/hashing.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"

namespace velmoradine {
namespace {

Data bytes(std::string_view text) {
  return Data(text.begin(), text.end());
}

struct Vector {
  HashType type;
  std::string input;
  std::string hex;
};

// RFC 1321 appendix A.5 and the FIPS 180-4 examples (NIST CSRC).
const std::vector<Vector> kVectors = {
    {HashType::md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
    {HashType::md5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {HashType::md5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {HashType::md5,
     "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {HashType::sha1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {HashType::sha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {HashType::sha224, "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
    {HashType::sha256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {HashType::sha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {HashType::sha256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {HashType::sha384, "abc",
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c82"
     "5a7"},
    {HashType::sha512, "abc",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3fee"
     "bb"
     "d454d4423643ce80e2a9ac94fa54ca49f"},
};

TEST(Hashing, BuffersHashToThePublishedVectorsInHex) {
  for (const Vector& vector : kVectors) {
    SCOPED_TRACE(vector.input);
    EXPECT_EQ(hashed(bytes(vector.input), vector.type, HashOutputType::hex), vector.hex);
    EXPECT_EQ(vector.hex.size(), 2 * digestLength(vector.type));
  }
}

TEST(Hashing, TextsHashLikeTheirUTF8Bytes) {
  for (const Vector& vector : kVectors) {
    SCOPED_TRACE(vector.input);
    EXPECT_EQ(hashed(std::string_view(vector.input), vector.type, HashOutputType::hex), vector.hex);
  }
  EXPECT_EQ(hashed(std::string_view("caf\u00e9"), HashType::md5, HashOutputType::hex),
            hashed(Data{'c', 'a', 'f', 0xc3, 0xa9}, HashType::md5, HashOutputType::hex));
}

TEST(Hashing, TextThatIsNotUTF8HasNoDigest) {
  for (std::string_view text : {std::string_view("\xff"), std::string_view("a\xc3"),
                                std::string_view("\xc0\xaf"), std::string_view("\xed\xa0\x80")}) {
    EXPECT_EQ(hashed(text, HashType::sha256, HashOutputType::hex), std::nullopt);
  }
}

TEST(Hashing, Base64OutputIsTheStandardAlphabetWithPadding) {
  EXPECT_EQ(hashed(bytes("abc"), HashType::sha256, HashOutputType::base64),
            "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
  EXPECT_EQ(hashed(bytes("abc"), HashType::sha1, HashOutputType::base64),
            "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
  EXPECT_EQ(md5Base64(bytes("abc")), "kAFQmDzST7DWlj99KOF/cg==");
}

TEST(Hashing, Md5Base64OfAnEmptyBufferIsTheDigestOfNothing) {
  EXPECT_EQ(md5Base64(Data{}), "1B2M2Y8AsgTpgAmY7PhCfg==");
}

TEST(Hashing, Sha256HexIsAlways64LowercaseDigits) {
  Data data(100000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 7);
  auto digest = hashed(data, HashType::sha256, HashOutputType::hex);
  ASSERT_TRUE(digest.has_value());
  EXPECT_EQ(digest->size(), 64u);
  EXPECT_EQ(digest->find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(Hashing, TheRSAHeaderVariantHashesTheHeaderFollowedByTheKey) {
  const Data header = {0x30, 0x82, 0x01, 0x22, 0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                       0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00, 0x03, 0x82, 0x01, 0x0F, 0x00};
  EXPECT_EQ(hashWithRSA2048Asn1Header(Data{}, HashType::sha256, HashOutputType::base64),
            hashed(header, HashType::sha256, HashOutputType::base64));
  Data key(270);
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i);
  Data joined = header;
  joined.insert(joined.end(), key.begin(), key.end());
  for (HashType type : {HashType::md5, HashType::sha1, HashType::sha512}) {
    EXPECT_EQ(hashWithRSA2048Asn1Header(key, type, HashOutputType::hex),
              hashed(joined, type, HashOutputType::hex));
  }
}

}  // namespace
}  // namespace velmoradine
