// URLSession over libcurl's multi interface: the session hands its tasks to
// an engine with one network thread (curl_engine.hpp), which sets up each
// transfer (curl_transfer.hpp), answers from the URL cache by HTTP's rules
// (cache_freshness.hpp) and reads libcurl's failures as URL errors
// (curl_error_mapping.hpp).

#include <curl/curl.h>

#include <atomic>

#include "velmoradine/platform/http/curl_engine.hpp"
#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine {
namespace {

using curl_session::Engine;
using curl_session::SessionTask;

class CurlURLSession final : public URLSession {
 public:
  CurlURLSession(URLSessionConfiguration configuration,
                 std::shared_ptr<DispatchQueue> delegateQueue)
      : configuration_(std::move(configuration)),
        engine_(Engine::start(configuration_, std::move(delegateQueue))),
        delegateQueue_(engine_->delegateQueue()) {}

  ~CurlURLSession() override { engine_->shutdown(); }

  std::shared_ptr<URLSessionTask> dataTask(URLRequest request,
                                           DataTaskCompletion completion) override {
    return std::make_shared<SessionTask>(nextIdentifier_++, std::move(request),
                                         std::move(completion), nullptr, engine_, delegateQueue_);
  }

  std::shared_ptr<URLSessionTask> downloadTask(URLRequest request,
                                               DownloadTaskCompletion completion) override {
    return std::make_shared<SessionTask>(nextIdentifier_++, std::move(request), nullptr,
                                         std::move(completion), engine_, delegateQueue_);
  }

  const URLSessionConfiguration& configuration() const override { return configuration_; }
  const std::shared_ptr<DispatchQueue>& delegateQueue() const override { return delegateQueue_; }

 private:
  const URLSessionConfiguration configuration_;
  const std::shared_ptr<Engine> engine_;
  const std::shared_ptr<DispatchQueue> delegateQueue_;
  std::atomic<std::uint64_t> nextIdentifier_ = 1;
};

}  // namespace

URLSessionConfiguration URLSessionConfiguration::ephemeral() {
  return {};
}

URLSessionConfiguration URLSessionConfiguration::defaultConfiguration() {
  URLSessionConfiguration configuration;
  configuration.httpShouldSetCookies = true;
  configuration.urlCache = std::make_shared<URLCache>(4'000'000, 0, std::nullopt);
  return configuration;
}

std::shared_ptr<URLSession> URLSession::make(URLSessionConfiguration configuration,
                                             std::shared_ptr<DispatchQueue> delegateQueue) {
  // libcurl's global set-up is not thread-safe; a function-local static runs
  // it exactly once before the first session exists.
  [[maybe_unused]] static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  return std::make_shared<CurlURLSession>(std::move(configuration), std::move(delegateQueue));
}

}  // namespace velmoradine
