// The session verifies TLS peers: a server whose certificate no trusted
// authority signed, or that names another host, is refused whatever it would
// answer; one the configuration trusts is accepted.

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine {
namespace {

// Writes a fresh self-signed certificate naming `subjectAltName` (as
// "IP:..." or "DNS:...") and its key as PEM.
void writeSelfSignedCertificate(const std::filesystem::path& certificate,
                                const std::filesystem::path& key,
                                const char* subjectAltName = "IP:127.0.0.1") {
  EVP_PKEY* pair = EVP_RSA_gen(2048);
  X509* x509 = X509_new();
  X509_set_version(x509, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
  X509_gmtime_adj(X509_getm_notBefore(x509), 0);
  X509_gmtime_adj(X509_getm_notAfter(x509), 3600);
  X509_set_pubkey(x509, pair);
  X509_NAME* name = X509_get_subject_name(x509);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("velmoradine test"), -1, -1, 0);
  X509_set_issuer_name(x509, name);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, x509, x509, nullptr, nullptr, 0);
  X509_EXTENSION* extension =
      X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, subjectAltName);
  X509_add_ext(x509, extension, -1);
  X509_EXTENSION_free(extension);
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

struct Outcome {
  std::optional<std::string> body;
  std::optional<Error> failure;
};

// Serves "{}" over TLS with a certificate of its own.
class TLSServer {
 public:
  explicit TLSServer(const char* subjectAltName = "IP:127.0.0.1") {
    writeSelfSignedCertificate(certificate(), directory_.path() / "server.key", subjectAltName);
    server_ = std::make_unique<httplib::SSLServer>(certificate().c_str(),
                                                   (directory_.path() / "server.key").c_str());
    server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("{}", "application/json");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    serving_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() before the loop runs would be lost and leave join() waiting.
    testing::waitUntil([this] { return server_->is_running(); });
  }
  ~TLSServer() {
    server_->stop();
    serving_.join();
  }

  bool isValid() const { return server_->is_valid() && port_ > 0; }
  std::filesystem::path certificate() const { return directory_.path() / "server.pem"; }

  Outcome get(URLSessionConfiguration configuration) {
    auto session = URLSession::make(std::move(configuration));
    std::mutex mutex;
    Outcome outcome;
    bool done = false;
    session
        ->dataTask(URLRequest(*URL::parse("https://127.0.0.1:" + std::to_string(port_) + "/")),
                   [&](std::optional<Data> data, std::optional<HTTPURLResponse>,
                       std::optional<Error> error) {
                     std::lock_guard lock(mutex);
                     if (data) outcome.body = std::string(data->begin(), data->end());
                     outcome.failure = error;
                     done = true;
                   })
        ->resume();
    EXPECT_TRUE(testing::waitUntil([&] {
      std::lock_guard lock(mutex);
      return done;
    }));
    std::lock_guard lock(mutex);
    return outcome;
  }

 private:
  testing::TemporaryDirectory directory_;
  std::unique_ptr<httplib::SSLServer> server_;
  int port_ = 0;
  std::thread serving_;
};

TEST(URLSessionTLS, ASelfSignedServerIsRefused) {
  TLSServer server;
  ASSERT_TRUE(server.isValid());
  Outcome outcome = server.get(URLSessionConfiguration::ephemeral());
  EXPECT_FALSE(outcome.body.has_value());
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(*outcome.failure, URLError::serverCertificateUntrusted) << outcome.failure->detail();
}

TEST(URLSessionTLS, AServerSignedByAnAdditionallyTrustedCertificateIsAccepted) {
  TLSServer server;
  ASSERT_TRUE(server.isValid());
  auto configuration = URLSessionConfiguration::ephemeral();
  configuration.additionalTrustedCertificates = server.certificate();
  Outcome outcome = server.get(configuration);
  EXPECT_FALSE(outcome.failure.has_value()) << outcome.failure->detail();
  EXPECT_EQ(outcome.body, "{}");
}

TEST(URLSessionTLS, ATrustedCertificateForAnotherHostIsRefused) {
  TLSServer server("DNS:backend.example");
  ASSERT_TRUE(server.isValid());
  auto configuration = URLSessionConfiguration::ephemeral();
  configuration.additionalTrustedCertificates = server.certificate();
  Outcome outcome = server.get(configuration);
  EXPECT_FALSE(outcome.body.has_value());
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(*outcome.failure, URLError::serverCertificateUntrusted) << outcome.failure->detail();
}

TEST(URLSessionTLS, AnUnreadableTrustFileFailsTheHandshake) {
  TLSServer server;
  ASSERT_TRUE(server.isValid());
  auto configuration = URLSessionConfiguration::ephemeral();
  configuration.additionalTrustedCertificates = "/nonexistent/trust.pem";
  Outcome outcome = server.get(configuration);
  EXPECT_FALSE(outcome.body.has_value());
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(*outcome.failure, URLError::secureConnectionFailed) << outcome.failure->detail();
}

}  // namespace
}  // namespace velmoradine
