// The network thread's loop: commands from other threads, libcurl's multi
// interface, the session's own delegate queue served between rounds of
// libcurl work (a reply then reaches its completion without a hand-off to
// another thread, which on a sequence of calls costs more than the request
// itself), and idle time-outs.

#include "velmoradine/platform/http/curl_engine.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/http/cache_freshness.hpp"
#include "velmoradine/platform/http/curl_error_mapping.hpp"
#include "velmoradine/platform/http/curl_transfer.hpp"
#include "velmoradine/platform/http/network_thread_queue.hpp"

namespace velmoradine::curl_session {
namespace {

// The engine the network thread of this thread serves, if any.
class CurlEngine;
thread_local const CurlEngine* tNetworkThreadEngine = nullptr;

class CurlEngine final : public Engine {
 public:
  static std::shared_ptr<CurlEngine> launch(URLSessionConfiguration configuration,
                                            std::shared_ptr<DispatchQueue> delegateQueue) {
    auto engine = std::make_shared<CurlEngine>(std::move(configuration));
    if (delegateQueue) {
      engine->delegateQueue_ = std::move(delegateQueue);
    } else {
      engine->ownQueue_ = NetworkThreadQueue::make(
          "URLSession delegate queue", [raw = engine.get()] { raw->wakeUpFromElsewhere(); });
      engine->delegateQueue_ = engine->ownQueue_;
    }
    // The thread keeps its engine alive: a completion on it may drop the
    // session's last reference.
    engine->thread_ = std::thread([self = engine] { self->run(); });
    return engine;
  }

  explicit CurlEngine(URLSessionConfiguration configuration)
      : configuration_(std::move(configuration)) {
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS,
                      configuration_.httpMaximumConnectionsPerHost);
    if (configuration_.httpShouldSetCookies) {
      share_ = curl_share_init();
      curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
  }

  const std::shared_ptr<DispatchQueue>& delegateQueue() const override { return delegateQueue_; }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      stopping_ = true;
      curl_multi_wakeup(multi_);
    }
    if (tNetworkThreadEngine == this) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }

  void start(std::shared_ptr<SessionTask> task) override { post({std::move(task), false}); }
  void cancel(std::shared_ptr<SessionTask> task) override { post({std::move(task), true}); }

 private:
  struct Command {
    std::shared_ptr<SessionTask> task;
    bool cancel;
  };

  void post(Command command) {
    {
      std::lock_guard lock(mutex_);
      if (!stopping_) {
        commands_.push_back(std::move(command));
        curl_multi_wakeup(multi_);
        return;
      }
    }
    command.task->deliver(Outcome::failed(Error(URLError::cancelled)));
  }

  void wakeUpFromElsewhere() {
    if (tNetworkThreadEngine != this) curl_multi_wakeup(multi_);
  }

  void run() {
    tNetworkThreadEngine = this;
    serve();
    if (ownQueue_) ownQueue_->detach();
    for (CURL* easy : idleHandles_) curl_easy_cleanup(easy);
    idleHandles_.clear();
    curl_multi_cleanup(multi_);
    if (share_) curl_share_cleanup(share_);
    tNetworkThreadEngine = nullptr;
  }

  void serve() {
    while (true) {
      std::vector<Command> commands;
      bool stopping;
      {
        std::lock_guard lock(mutex_);
        commands.swap(commands_);
        stopping = stopping_;
      }
      if (stopping) {
        for (Command& command : commands)
          command.task->deliver(Outcome::failed(Error(URLError::cancelled)));
        while (!transfers_.empty()) fail(transfers_.begin()->first, Error(URLError::cancelled));
        return;
      }
      for (Command& command : commands) {
        if (command.cancel) {
          cancelTask(command.task);
        } else {
          begin(std::move(command.task));
        }
      }
      int running = 0;
      curl_multi_perform(multi_, &running);
      int remaining = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &remaining)) {
        if (message->msg == CURLMSG_DONE) complete(message->easy_handle, message->data.result);
      }
      int wait = expireIdleTransfers();
      if (ownQueue_) ownQueue_->drain();
      curl_multi_poll(multi_, nullptr, 0, wait, nullptr);
    }
  }

  // Fails transfers that waited longer than their request time-out for data;
  // returns how long the network thread may sleep before the next check.
  int expireIdleTransfers() {
    auto now = SteadyClock::now();
    std::vector<CURL*> expired;
    auto next = std::chrono::milliseconds(1000);
    for (auto& [easy, transfer] : transfers_) {
      auto deadline = transfer->lastActivity + transfer->idleTimeout;
      if (deadline <= now) {
        expired.push_back(easy);
      } else {
        next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
      }
    }
    for (CURL* easy : expired) fail(easy, Error(URLError::timedOut, "no data within the time-out"));
    return static_cast<int>(next.count());
  }

  void cancelTask(const std::shared_ptr<SessionTask>& task) {
    auto found = std::ranges::find_if(
        transfers_, [&](const auto& entry) { return entry.second->task == task; });
    if (found != transfers_.end()) {
      fail(found->first, Error(URLError::cancelled));
    } else {
      task->deliver(Outcome::failed(Error(URLError::cancelled)));
    }
  }

  void begin(std::shared_ptr<SessionTask> task) {
    const URLRequest& request = task->originalRequest();
    const URL& url = request.url();
    if (url.scheme() != "http" && url.scheme() != "https") {
      task->deliver(Outcome::failed(Error(URLError::unsupportedURL, url.absoluteString())));
      return;
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->task = task;
    if (!answerFromCache(*transfer)) return;
    if (!configure(*transfer)) return;
    CURL* easy = transfer->easy;
    transfers_.emplace(easy, std::move(transfer));
    curl_multi_add_handle(multi_, easy);
  }

  // Applies the request's cache policy. Returns false when the task was
  // answered (from the cache, or with a miss the policy forbids loading).
  bool answerFromCache(Transfer& transfer) {
    const URLRequest& request = transfer.task->originalRequest();
    URLCache* cache = configuration_.urlCache.get();
    if (!cache || request.httpMethod() != "GET" ||
        request.cachePolicy() == URLRequestCachePolicy::reloadIgnoringLocalCacheData) {
      return true;
    }
    auto cached = cache->cachedResponse(request);
    bool anyAge = request.cachePolicy() == URLRequestCachePolicy::returnCacheDataElseLoad ||
                  request.cachePolicy() == URLRequestCachePolicy::returnCacheDataDontLoad;
    if (!cached) {
      if (request.cachePolicy() != URLRequestCachePolicy::returnCacheDataDontLoad) return true;
      transfer.task->deliver(Outcome::failed(Error(URLError::resourceUnavailable)));
      return false;
    }
    if (anyAge || isFresh(*cached)) {
      deliverCached(transfer.task, std::move(*cached));
      return false;
    }
    if (cached->response.valueForHTTPHeaderField("ETag") ||
        cached->response.valueForHTTPHeaderField("Last-Modified")) {
      transfer.cached = std::move(cached);
    }
    return true;
  }

  void deliverCached(const std::shared_ptr<SessionTask>& task, CachedURLResponse cached) {
    if (task->kind() == TaskKind::data) {
      task->deliver(Outcome::received(std::move(cached.data), std::move(cached.response)));
      return;
    }
    auto created = createDownloadFile();
    if (!created) {
      task->deliver(Outcome::failed(Error(URLError::cannotCreateFile, "download file")));
      return;
    }
    auto [file, path] = *created;
    bool written = cached.data.empty() || std::fwrite(cached.data.data(), 1, cached.data.size(),
                                                      file) == cached.data.size();
    written = std::fclose(file) == 0 && written;
    if (!written) {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
      task->deliver(Outcome::failed(Error(URLError::cannotWriteToFile, path.string())));
      return;
    }
    task->deliver(Outcome::downloaded(path, std::move(cached.response)));
  }

  // Prepares the easy handle; returns false when the task failed instead.
  bool configure(Transfer& transfer) {
    auto lines = headerLines(transfer, configuration_);
    if (!lines) {
      transfer.task->deliver(Outcome::failed(std::move(lines.error())));
      return false;
    }
    if (transfer.task->kind() == TaskKind::download) {
      auto created = createDownloadFile();
      if (!created) {
        transfer.task->deliver(Outcome::failed(Error(URLError::cannotCreateFile, "download file")));
        return false;
      }
      std::tie(transfer.file, transfer.filePath) = *created;
    }
    setUpHandle(transfer, takeHandle(), *lines, configuration_, share_);
    return true;
  }

  CURL* takeHandle() {
    if (idleHandles_.empty()) return curl_easy_init();
    CURL* easy = idleHandles_.back();
    idleHandles_.pop_back();
    curl_easy_reset(easy);
    return easy;
  }

  // Detaches the transfer from libcurl and returns it; its handle goes back
  // to the pool.
  std::unique_ptr<Transfer> detach(CURL* easy) {
    auto found = transfers_.find(easy);
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    transfers_.erase(found);
    curl_multi_remove_handle(multi_, easy);
    curl_slist_free_all(transfer->headers);
    transfer->headers = nullptr;
    // libcurl keeps the cookie file list across curl_easy_reset() and would
    // lose it there; clearing it first frees it and leaves the shared cookies
    // alone.
    if (share_) curl_easy_setopt(easy, CURLOPT_COOKIEFILE, nullptr);
    idleHandles_.push_back(easy);
    if (transfer->file) {
      if (std::fclose(transfer->file) != 0 && !transfer->failure) {
        transfer->failure = Error(URLError::cannotWriteToFile, transfer->filePath.string());
      }
      transfer->file = nullptr;
    }
    return transfer;
  }

  void fail(CURL* easy, Error error) {
    auto transfer = detach(easy);
    discardFile(*transfer);
    transfer->task->deliver(Outcome::failed(std::move(error)));
  }

  static void discardFile(const Transfer& transfer) {
    if (transfer.filePath.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(transfer.filePath, ignored);
  }

  void complete(CURL* easy, CURLcode code) {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
    auto transfer = detach(easy);
    const URL& requested = transfer->task->originalRequest().url();
    // Parsed again only after a redirect: most replies come from the URL asked.
    std::optional<URL> answered =
        effective && requested.absoluteString() != effective ? URL::parse(effective) : std::nullopt;
    HTTPURLResponse response{answered.value_or(requested), static_cast<int>(status),
                             std::move(transfer->responseHeaders)};
    if (transfer->failure || code != CURLE_OK) {
      discardFile(*transfer);
      Outcome outcome =
          Outcome::failed(transfer->failure.value_or(transportError(code, transfer->errorBuffer)));
      // A reply refused for its size came whole up to its body, so its status
      // is known and callers judge that first.
      if (status != 0 && *outcome.error == URLError::dataLengthExceedsMaximum) {
        outcome.response = std::move(response);
      }
      transfer->task->deliver(std::move(outcome));
      return;
    }
    const URLRequest& request = transfer->task->originalRequest();

    URLCache* cache = configuration_.urlCache.get();
    if (status == 304 && transfer->cached) {
      discardFile(*transfer);
      CachedURLResponse cached = std::move(*transfer->cached);
      cached.storedAt = std::chrono::system_clock::now();
      if (cache) cache->storeCachedResponse(cached, request);
      deliverCached(transfer->task, std::move(cached));
      return;
    }
    if (cache && request.httpMethod() == "GET" && isStorable(request, response)) {
      store(*cache, *transfer, request, response);
    }
    if (transfer->task->kind() == TaskKind::data) {
      transfer->task->deliver(
          Outcome::received(std::move(transfer->received), std::move(response)));
    } else {
      transfer->task->deliver(Outcome::downloaded(transfer->filePath, std::move(response)));
    }
  }

  static void store(URLCache& cache, Transfer& transfer, const URLRequest& request,
                    const HTTPURLResponse& response) {
    std::size_t limit = std::max(cache.memoryCapacity(), cache.diskCapacity()) / 20;
    if (transfer.task->kind() == TaskKind::data) {
      if (transfer.received.size() <= limit)
        cache.storeCachedResponse({response, transfer.received}, request);
      return;
    }
    std::error_code error;
    auto size = std::filesystem::file_size(transfer.filePath, error);
    if (error || size > limit) return;
    if (auto data = readContents(transfer.filePath))
      cache.storeCachedResponse({response, std::move(*data)}, request);
  }

  const URLSessionConfiguration configuration_;
  std::shared_ptr<DispatchQueue> delegateQueue_;
  std::shared_ptr<NetworkThreadQueue> ownQueue_;
  CURLM* multi_ = nullptr;
  CURLSH* share_ = nullptr;
  std::thread thread_;

  std::mutex mutex_;
  std::vector<Command> commands_;  // guarded by mutex_
  bool stopping_ = false;          // guarded by mutex_

  // Network thread only.
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_;
  std::vector<CURL*> idleHandles_;
};

}  // namespace

std::shared_ptr<Engine> Engine::start(URLSessionConfiguration configuration,
                                      std::shared_ptr<DispatchQueue> delegateQueue) {
  return CurlEngine::launch(std::move(configuration), std::move(delegateQueue));
}

}  // namespace velmoradine::curl_session
