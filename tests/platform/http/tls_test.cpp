// The session verifies TLS peers: a server whose certificate no trusted
// authority signed is refused, whatever it would answer.

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine {
namespace {

// Writes a fresh self-signed certificate for 127.0.0.1 and its key as PEM.
void writeSelfSignedCertificate(const std::filesystem::path& certificate,
                                const std::filesystem::path& key) {
  EVP_PKEY* pair = EVP_RSA_gen(2048);
  X509* x509 = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
  X509_gmtime_adj(X509_getm_notBefore(x509), 0);
  X509_gmtime_adj(X509_getm_notAfter(x509), 3600);
  X509_set_pubkey(x509, pair);
  X509_NAME* name = X509_get_subject_name(x509);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(x509, name);
  X509_sign(x509, pair, EVP_sha256());
  FILE* file = std::fopen(certificate.c_str(), "wb");
  PEM_write_X509(file, x509);
  std::fclose(file);
  file = std::fopen(key.c_str(), "wb");
  PEM_write_PrivateKey(file, pair, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(file);
  X509_free(x509);
  EVP_PKEY_free(pair);
}

TEST(URLSessionTLS, ASelfSignedServerIsRefused) {
  testing::TemporaryDirectory directory;
  auto certificate = directory.path() / "server.pem";
  auto key = directory.path() / "server.key";
  writeSelfSignedCertificate(certificate, key);
  httplib::SSLServer server(certificate.c_str(), key.c_str());
  ASSERT_TRUE(server.is_valid());
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("{}", "application/json");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });

  auto session = URLSession::make(URLSessionConfiguration::ephemeral());
  std::mutex mutex;
  std::optional<Error> failure;
  bool gotData = false;
  bool done = false;
  session
      ->dataTask(URLRequest(*URL::parse("https://127.0.0.1:" + std::to_string(port) + "/")),
                 [&](std::optional<Data> data, std::optional<HTTPURLResponse>,
                     std::optional<Error> error) {
                   std::lock_guard lock(mutex);
                   gotData = data.has_value();
                   failure = error;
                   done = true;
                 })
      ->resume();
  EXPECT_TRUE(testing::waitUntil([&] {
    std::lock_guard lock(mutex);
    return done;
  }));
  server.stop();
  serving.join();
  std::lock_guard lock(mutex);
  EXPECT_FALSE(gotData);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, URLError::serverCertificateUntrusted) << failure->detail();
}

}  // namespace
}  // namespace velmoradine
