// URLSession over libcurl's multi interface. One network thread per session
// owns the multi handle and every easy handle; other threads talk to it only
// through the command list, and it talks back only by posting completions to
// the session's delegate queue. So no libcurl object is ever touched by two
// threads. A session's own delegate queue is served by the network thread
// between rounds of libcurl work: a reply then reaches its completion without
// a hand-off to another thread, which on a sequence of calls costs more than
// the request itself.

#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/ssl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/foundation/file_locations.hpp"
#include "velmoradine/platform/http/network_thread_queue.hpp"
#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr long kMaximumRedirects = 16;

enum class TaskKind { data, download };

// What a finished task hands to its completion.
struct Outcome {
  std::optional<Data> data;
  std::optional<std::filesystem::path> file;
  std::optional<HTTPURLResponse> response;
  std::optional<Error> error;

  static Outcome failed(Error error) {
    Outcome outcome;
    outcome.error = std::move(error);
    return outcome;
  }
  static Outcome received(Data data, HTTPURLResponse response) {
    Outcome outcome;
    outcome.data = std::move(data);
    outcome.response = std::move(response);
    return outcome;
  }
  static Outcome downloaded(std::filesystem::path file, HTTPURLResponse response) {
    Outcome outcome;
    outcome.file = std::move(file);
    outcome.response = std::move(response);
    return outcome;
  }
};

class Engine;

class SessionTask final : public URLSessionTask, public std::enable_shared_from_this<SessionTask> {
 public:
  SessionTask(std::uint64_t identifier, URLRequest request, DataTaskCompletion dataCompletion,
              DownloadTaskCompletion downloadCompletion, std::weak_ptr<Engine> engine,
              std::shared_ptr<DispatchQueue> delegateQueue)
      : identifier_(identifier),
        request_(std::move(request)),
        kind_(dataCompletion ? TaskKind::data : TaskKind::download),
        dataCompletion_(std::move(dataCompletion)),
        downloadCompletion_(std::move(downloadCompletion)),
        engine_(std::move(engine)),
        delegateQueue_(std::move(delegateQueue)) {}

  void resume() override;
  void cancel() override;
  State state() const override { return state_.load(); }
  std::uint64_t taskIdentifier() const override { return identifier_; }
  const URLRequest& originalRequest() const override { return request_; }

  TaskKind kind() const { return kind_; }
  // Hands the outcome to the completion on the delegate queue. Only the
  // first call counts, so racing cancellation and completion still give
  // exactly one completion.
  void deliver(Outcome outcome);

 private:
  const std::uint64_t identifier_;
  const URLRequest request_;
  const TaskKind kind_;
  DataTaskCompletion dataCompletion_;
  DownloadTaskCompletion downloadCompletion_;
  std::weak_ptr<Engine> engine_;
  std::shared_ptr<DispatchQueue> delegateQueue_;
  std::atomic<State> state_ = State::suspended;
  std::atomic<bool> delivered_ = false;
};

// One running request: the easy handle and what its callbacks collect.
struct Transfer {
  std::shared_ptr<SessionTask> task;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  std::shared_ptr<const Data> body;
  std::size_t bodyOffset = 0;  // the next byte a streamed body sends
  Data received;
  std::FILE* file = nullptr;
  std::filesystem::path filePath;
  HTTPHeaderFields responseHeaders;
  std::optional<CachedURLResponse> cached;
  SteadyClock::time_point lastActivity = SteadyClock::now();
  SteadyClock::duration idleTimeout{};
  curl_off_t uploaded = 0;
  curl_off_t downloaded = 0;
  std::optional<std::size_t> maximumSize;
  std::optional<Error> failure;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

Error transportError(CURLcode code, const char* detail) {
  std::string text = detail && *detail ? detail : curl_easy_strerror(code);
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return Error(URLError::timedOut, text);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return Error(URLError::cannotFindHost, text);
    case CURLE_COULDNT_CONNECT:
      return Error(URLError::cannotConnectToHost, text);
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return Error(URLError::networkConnectionLost, text);
    case CURLE_WEIRD_SERVER_REPLY:
      return Error(URLError::badServerResponse, text);
    case CURLE_UNSUPPORTED_PROTOCOL:
      // libcurl reports a reply without an HTTP status line this way too.
      if (text.find("HTTP/0.9") != std::string::npos) {
        return Error(URLError::badServerResponse, text);
      }
      return Error(URLError::unsupportedURL, text);
    case CURLE_TOO_MANY_REDIRECTS:
      return Error(URLError::httpTooManyRedirects, text);
    case CURLE_URL_MALFORMAT:
      return Error(URLError::badURL, text);
    case CURLE_PEER_FAILED_VERIFICATION:
      return Error(URLError::serverCertificateUntrusted, text);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
      return Error(URLError::secureConnectionFailed, text);
    case CURLE_FILESIZE_EXCEEDED:
      return Error(URLError::dataLengthExceedsMaximum, text);
    case CURLE_BAD_CONTENT_ENCODING:
      return Error(URLError::cannotDecodeContentData, text);
    default:
      return Error(URLError::unknown, text);
  }
}

bool isTokenCharacter(unsigned char c) {
  return std::isalnum(c) ||
         std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// A header that would break the request line apart (a line break in a value,
// a name that is not a token) must never reach the wire.
bool isValidHeader(std::string_view name, std::string_view value) {
  if (name.empty() || !std::ranges::all_of(name, isTokenCharacter)) return false;
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

std::string lowercased(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::chrono::system_clock::time_point> httpDate(
    const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  time_t seconds = curl_getdate(text->c_str(), nullptr);
  if (seconds < 0) return std::nullopt;
  return std::chrono::system_clock::from_time_t(seconds);
}

// The "max-age" of a Cache-Control value, when given.
std::optional<std::chrono::seconds> maxAge(const std::string& cacheControl) {
  auto at = cacheControl.find("max-age=");
  if (at == std::string::npos) return std::nullopt;
  try {
    return std::chrono::seconds(std::stoll(cacheControl.substr(at + 8)));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// HTTP's freshness rule: explicit max-age, else Expires minus Date, else a
// tenth of the time since Last-Modified.
bool isFresh(const CachedURLResponse& cached) {
  const HTTPURLResponse& response = cached.response;
  std::string cacheControl =
      lowercased(response.valueForHTTPHeaderField("Cache-Control").value_or(""));
  if (cacheControl.find("no-cache") != std::string::npos) return false;
  std::chrono::system_clock::duration lifetime{};
  auto date = httpDate(response.valueForHTTPHeaderField("Date")).value_or(cached.storedAt);
  if (auto age = maxAge(cacheControl)) {
    lifetime = *age;
  } else if (auto expires = httpDate(response.valueForHTTPHeaderField("Expires"))) {
    lifetime = *expires - date;
  } else if (auto modified = httpDate(response.valueForHTTPHeaderField("Last-Modified"))) {
    lifetime = (date - *modified) / 10;
  }
  return std::chrono::system_clock::now() - cached.storedAt < lifetime;
}

bool isStorable(const URLRequest& request, const HTTPURLResponse& response) {
  if (response.statusCode != 200) return false;
  auto noStore = [](const std::optional<std::string>& value) {
    return value && lowercased(*value).find("no-store") != std::string::npos;
  };
  return !noStore(response.valueForHTTPHeaderField("Cache-Control")) &&
         !noStore(request.valueForHTTPHeaderField("Cache-Control"));
}

// A new empty file in the temporary folder for a download.
std::optional<std::pair<std::FILE*, std::filesystem::path>> createDownloadFile() {
  std::error_code error;
  auto folder = file_locations::temporaryDirectory();
  std::filesystem::create_directories(folder, error);
  std::string pattern = (folder / "VelmoradineDownload-XXXXXX.tmp").string();
  int descriptor = mkstemps(pattern.data(), 4);
  if (descriptor < 0) return std::nullopt;
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) {
    close(descriptor);
    std::filesystem::remove(pattern, error);
    return std::nullopt;
  }
  return std::pair{file, std::filesystem::path(pattern)};
}

// The engine the network thread of this thread serves, if any.
thread_local const Engine* tNetworkThreadEngine = nullptr;

class Engine : public std::enable_shared_from_this<Engine> {
 public:
  // Starts the network thread. Without a delegate queue, completions run on
  // the network thread itself (see network_thread_queue.hpp).
  static std::shared_ptr<Engine> start(URLSessionConfiguration configuration,
                                       std::shared_ptr<DispatchQueue> delegateQueue) {
    auto engine = std::make_shared<Engine>(std::move(configuration));
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

  explicit Engine(URLSessionConfiguration configuration)
      : configuration_(std::move(configuration)) {
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS,
                      configuration_.httpMaximumConnectionsPerHost);
    if (configuration_.httpShouldSetCookies) {
      share_ = curl_share_init();
      curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
  }

  const std::shared_ptr<DispatchQueue>& delegateQueue() const { return delegateQueue_; }

  // Cancels what is left and stops the network thread. Idempotent. From any
  // other thread it waits for the network thread to end; from a completion
  // on the network thread it lets that thread end once the completion
  // returns.
  void shutdown() {
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

  void start(std::shared_ptr<SessionTask> task) { post({std::move(task), false}); }
  void cancel(std::shared_ptr<SessionTask> task) { post({std::move(task), true}); }

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
    const URLRequest& request = transfer.task->originalRequest();
    std::vector<std::string> lines;
    auto addLine = [&](std::string_view name, std::string_view value) {
      // libcurl sends "Name;" as a field with an empty value ("Name:" alone
      // would remove the field).
      lines.push_back(value.empty() ? std::string(name) + ";"
                                    : std::string(name) + ": " + std::string(value));
    };
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
      if (!isValidHeader(name, value)) {
        transfer.task->deliver(
            Outcome::failed(Error(URLError::badURL, "invalid header field " + name)));
        return false;
      }
      addLine(name, value);
    }
    for (const auto& [name, value] : configuration_.httpAdditionalHeaders) {
      if (!request.valueForHTTPHeaderField(name) && isValidHeader(name, value))
        addLine(name, value);
    }
    if (transfer.cached) {
      if (auto tag = transfer.cached->response.valueForHTTPHeaderField("ETag")) {
        addLine("If-None-Match", *tag);
      }
      if (auto modified = transfer.cached->response.valueForHTTPHeaderField("Last-Modified")) {
        addLine("If-Modified-Since", *modified);
      }
    }
    // Only the fields the request asked for: no defaults of libcurl's own,
    // and no "Expect: 100-continue" round trip before a body.
    lines.emplace_back("Expect:");
    if (!request.valueForHTTPHeaderField("Accept")) lines.emplace_back("Accept:");
    if (!request.valueForHTTPHeaderField("Content-Type")) lines.emplace_back("Content-Type:");

    if (transfer.task->kind() == TaskKind::download) {
      auto created = createDownloadFile();
      if (!created) {
        transfer.task->deliver(Outcome::failed(Error(URLError::cannotCreateFile, "download file")));
        return false;
      }
      std::tie(transfer.file, transfer.filePath) = *created;
    }

    CURL* easy = takeHandle();
    transfer.easy = easy;
    for (const std::string& line : lines)
      transfer.headers = curl_slist_append(transfer.headers, line.c_str());

    auto requestTimeout =
        std::min(request.timeoutInterval(), configuration_.timeoutIntervalForRequest);
    transfer.idleTimeout = requestTimeout;
    transfer.maximumSize = request.maximumResponseSize();

    curl_easy_setopt(easy, CURLOPT_URL, request.url().absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaximumRedirects);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(requestTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::min(configuration_.timeoutIntervalForResource,
                                                request.totalTimeoutInterval().value_or(
                                                    configuration_.timeoutIntervalForResource))
                                           .count()));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Engine::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Engine::onData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Engine::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    if (transfer.maximumSize) {
      curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                       static_cast<curl_off_t>(*transfer.maximumSize));
    }
    if (configuration_.additionalTrustedCertificates) {
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &Engine::addTrustedCertificates);
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &*configuration_.additionalTrustedCertificates);
    }
    if (share_) {
      curl_easy_setopt(easy, CURLOPT_SHARE, share_);
      // An empty cookie file turns the cookie engine on (see detach()).
      curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    }

    const std::string& method = request.httpMethod();
    transfer.body = request.httpBody();
    static const Data kEmpty;
    const Data* body = transfer.body ? transfer.body.get() : nullptr;
    if (method == "GET" && !body) {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (body || method == "POST" || method == "PUT" || method == "PATCH") {
      if (!body) body = &kEmpty;
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
      if (body->isFileView()) {
        // A view of a file is streamed from the file in libcurl's own
        // buffer, never mapped or read whole.
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Engine::onReadBody);
        curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &Engine::onSeekBody);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, &transfer);
      } else {
        // Any other body is sent from the request's own buffer, without a copy.
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                         body->empty() ? "" : reinterpret_cast<const char*>(body->data()));
      }
      if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else {
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
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

  // Adds the configured certificates to the store libcurl verifies peers
  // against; the system's authorities stay trusted.
  static CURLcode addTrustedCertificates(CURL*, void* context, void* path) {
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(context));
    const auto& file = *static_cast<const std::filesystem::path*>(path);
    return X509_STORE_load_file(store, file.c_str()) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
  }

  static size_t onHeader(char* buffer, size_t size, size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    std::string_view line(buffer, size * count);
    transfer->lastActivity = SteadyClock::now();
    if (line.starts_with("HTTP/")) {
      // A new response (after a redirect or an interim reply) starts afresh.
      transfer->responseHeaders.clear();
    } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
      transfer->responseHeaders.emplace_back(trimmed(line.substr(0, colon)),
                                             trimmed(line.substr(colon + 1)));
    }
    return size * count;
  }

  static size_t onData(char* buffer, size_t size, size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    size_t length = size * count;
    transfer->lastActivity = SteadyClock::now();
    if (transfer->file) {
      if (std::fwrite(buffer, 1, length, transfer->file) != length) {
        transfer->failure = Error(URLError::cannotWriteToFile, transfer->filePath.string());
        return 0;
      }
      return length;
    }
    if (transfer->maximumSize && transfer->received.size() + length > *transfer->maximumSize) {
      transfer->failure = Error(URLError::dataLengthExceedsMaximum);
      return 0;
    }
    transfer->received.insert(transfer->received.end(), buffer, buffer + length);
    return length;
  }

  static size_t onReadBody(char* buffer, size_t size, size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const Data& body = *transfer->body;
    const std::size_t length = std::min(size * count, body.size() - transfer->bodyOffset);
    auto read = body.read(transfer->bodyOffset, {reinterpret_cast<std::uint8_t*>(buffer), length});
    if (!read) {
      transfer->failure = std::move(read.error());
      return CURL_READFUNC_ABORT;
    }
    transfer->bodyOffset += length;
    return length;
  }

  // Rewinds a streamed body when libcurl sends it again (after a redirect
  // or on a connection that closed before the reply).
  static int onSeekBody(void* context, curl_off_t offset, int origin) {
    auto* transfer = static_cast<Transfer*>(context);
    if (origin != SEEK_SET || offset < 0 ||
        static_cast<std::size_t>(offset) > transfer->body->size()) {
      return CURL_SEEKFUNC_CANTSEEK;
    }
    transfer->bodyOffset = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
  }

  static int onProgress(void* context, curl_off_t, curl_off_t downloaded, curl_off_t,
                        curl_off_t uploaded) {
    auto* transfer = static_cast<Transfer*>(context);
    if (downloaded != transfer->downloaded || uploaded != transfer->uploaded) {
      transfer->downloaded = downloaded;
      transfer->uploaded = uploaded;
      transfer->lastActivity = SteadyClock::now();
    }
    return 0;
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

void SessionTask::resume() {
  State expected = State::suspended;
  if (!state_.compare_exchange_strong(expected, State::running)) return;
  if (auto engine = engine_.lock()) {
    engine->start(shared_from_this());
  } else {
    deliver(Outcome::failed(Error(URLError::cancelled)));
  }
}

void SessionTask::cancel() {
  State current = state_.load();
  do {
    if (current == State::canceling || current == State::completed) return;
  } while (!state_.compare_exchange_weak(current, State::canceling));
  if (auto engine = engine_.lock()) {
    engine->cancel(shared_from_this());
  } else {
    deliver(Outcome::failed(Error(URLError::cancelled)));
  }
}

void SessionTask::deliver(Outcome outcome) {
  if (delivered_.exchange(true)) return;
  state_ = State::completed;
  delegateQueue_->async([self = shared_from_this(), outcome = std::move(outcome)]() mutable {
    if (self->kind_ == TaskKind::data) {
      auto completion = std::move(self->dataCompletion_);
      completion(std::move(outcome.data), std::move(outcome.response), std::move(outcome.error));
      return;
    }
    auto completion = std::move(self->downloadCompletion_);
    std::optional<URL> location;
    if (outcome.file) location = URL::fileURL(*outcome.file);
    completion(std::move(location), std::move(outcome.response), std::move(outcome.error));
    if (outcome.file) {
      std::error_code ignored;
      std::filesystem::remove(*outcome.file, ignored);
    }
  });
}

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
