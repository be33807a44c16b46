// Figures of the backend client:
// - md5_vs_openssl, sha256_vs_openssl: throughput of the kit's digests over a
//   64 MiB buffer as a ratio to libcrypto's own one-shot call on the same
//   buffer (1.0 = as fast; the kit must add no copy).
// - api_calls_vs_curl_loop: throughput of 1,000 sequential `application`
//   calls to a loopback server as a ratio to a plain libcurl easy-handle loop
//   sending the same requests to the same server, measured in this run.

#include <curl/curl.h>
#include <httplib.h>
#include <openssl/evp.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "bench/support/figures.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/network/network.hpp"

namespace velmoradine {
namespace {

constexpr int kCalls = 1000;

// Alternates the two calls and keeps each one's best time, so that other
// work on the machine slows neither side more than the other.
double digestRatio(const Data& buffer, HashType type, const EVP_MD* md) {
  volatile std::size_t sink = 0;
  double ours = 1e9;
  double theirs = 1e9;
  for (int round = 0; round < 7; ++round) {
    ours = std::min(ours, bench::medianSeconds(1, [&] {
                      auto text = type == HashType::md5
                                      ? md5Base64(buffer).value()
                                      : *hashed(buffer, type, HashOutputType::hex);
                      sink = sink + text.size();
                    }));
    theirs = std::min(theirs, bench::medianSeconds(1, [&] {
                        unsigned char digest[EVP_MAX_MD_SIZE];
                        unsigned int length = 0;
                        EVP_Digest(buffer.data(), buffer.size(), digest, &length, md, nullptr);
                        sink = sink + length;
                      }));
  }
  return theirs / ours;
}

size_t discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

// The baseline: what a hand-written client does with one reused easy handle.
double curlLoopSeconds(const std::string& url) {
  CURL* easy = curl_easy_init();
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Content-Type: application/json");
  headers = curl_slist_append(headers, "Authorization: Bearer bench-key");
  headers = curl_slist_append(headers, "X-Contrib-UserId: bench-user");
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) {
    if (curl_easy_perform(easy) != CURLE_OK) std::fprintf(stderr, "curl loop: request failed\n");
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  curl_slist_free_all(headers);
  curl_easy_cleanup(easy);
  return seconds;
}

double networkLoopSeconds(Network& network, int& failures) {
  std::mutex mutex;
  std::condition_variable finished;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) {
    bool done = false;
    network.application([&](Result<ApplicationResponse> result) {
      {
        std::lock_guard lock(mutex);
        if (!result) ++failures;
        done = true;
      }
      // Outside the lock, so the waiting thread does not wake only to block.
      finished.notify_one();
    });
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int run() {
  Data buffer(64 * 1024 * 1024);
  for (std::size_t i = 0; i < buffer.size(); ++i)
    buffer[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
  bench::printFigure("md5_vs_openssl", digestRatio(buffer, HashType::md5, EVP_md5()));
  bench::printFigure("sha256_vs_openssl", digestRatio(buffer, HashType::sha256, EVP_sha256()));

  httplib::Server server;
  server.Get("/v1/api/sdk/application", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(R"({"slug":"bench","brand_color":"#112233"})", "application/json");
  });
  server.set_keep_alive_max_count(100000);
  server.set_tcp_nodelay(true);
  int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::fprintf(stderr, "network bench: cannot start the loopback server\n");
    return 1;
  }
  std::thread serving([&] { server.listen_after_bind(); });
  std::string base = "http://127.0.0.1:" + std::to_string(port) + "/v1/api/sdk/";

  auto authentication = std::make_shared<AuthenticationDatastore>();
  authentication->setApiKey("bench-key");
  auto contrib = std::make_shared<ContribDatastore>();
  contrib->setUserId("bench-user");
  Network network(URLSession::make(URLSessionConfiguration::ephemeral()), authentication, contrib,
                  *URL::parse(base), *URL::parse(base));

  int failures = 0;
  // Warm both paths (connections, allocators) before measuring, then
  // alternate them and keep each one's best round, so that other work on the
  // machine slows neither side more than the other.
  curlLoopSeconds(base + "application");
  networkLoopSeconds(network, failures);
  double curl = 1e9;
  double ours = 1e9;
  for (int round = 0; round < 5; ++round) {
    curl = std::min(curl, curlLoopSeconds(base + "application"));
    ours = std::min(ours, networkLoopSeconds(network, failures));
  }
  server.stop();
  serving.join();
  if (failures > 0) {
    std::fprintf(stderr, "network bench: %d application calls failed\n", failures);
    return 1;
  }
  std::fprintf(stderr, "curl loop %.1f us per call, Network %.1f us per call\n",
               curl * 1e6 / kCalls, ours * 1e6 / kCalls);
  bench::printFigure("api_calls_vs_curl_loop", curl / ours);
  return 0;
}

}  // namespace
}  // namespace velmoradine

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  return velmoradine::run();
}
