#pragma once

// The URL loading system: sessions that run data and download tasks over
// HTTP(S).
//
// Guarantees:
// - A task does nothing until `resume()`. Its completion runs exactly once,
//   on the session's delegate queue (a serial queue of the session unless one
//   is given), never on the thread that created or resumed the task.
// - Completions of one session run one at a time, in the order the tasks
//   finished.
// - A transport failure gives no data and no response, only the error (a
//   URLError). Any HTTP status is a completed task: the caller judges it.
// - Connections are kept alive and reused between tasks of one session,
//   redirects are followed (at most 16), TLS peers and host names are verified.
// - A request time-out bounds the wait for the connection and between two
//   pieces of data; the resource time-out bounds the whole task.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/http/url_cache.hpp"
#include "velmoradine/platform/http/url_error.hpp"
#include "velmoradine/platform/http/url_request.hpp"

namespace velmoradine {

struct URLSessionConfiguration {
  // No cookies, no cache and no credentials are kept beyond a task.
  static URLSessionConfiguration ephemeral();
  // Cookies are kept in memory for the session; responses go to the URL
  // cache, by default an in-memory cache of 4 MB (replace `urlCache` for
  // another).
  static URLSessionConfiguration defaultConfiguration();

  // The request time-out is the shorter of this and the request's own.
  std::chrono::milliseconds timeoutIntervalForRequest = std::chrono::seconds(60);
  std::chrono::milliseconds timeoutIntervalForResource = std::chrono::hours(24 * 7);
  std::shared_ptr<URLCache> urlCache;
  bool httpShouldSetCookies = false;
  // Sent with every request that does not set the field itself.
  HTTPHeaderFields httpAdditionalHeaders;
  long httpMaximumConnectionsPerHost = 6;
  // A PEM file of certificates trusted for TLS besides the system's, for a
  // backend signed by a private certificate authority. Host names are still
  // verified.
  std::optional<std::filesystem::path> additionalTrustedCertificates;
};

class URLSessionTask {
 public:
  enum class State { running, suspended, canceling, completed };

  virtual ~URLSessionTask() = default;
  // Starts a suspended task; does nothing otherwise. Safe from any thread.
  virtual void resume() = 0;
  // Stops the task; its completion gets URLError::cancelled unless it has
  // already finished. Safe from any thread.
  virtual void cancel() = 0;
  virtual State state() const = 0;
  virtual std::uint64_t taskIdentifier() const = 0;
  virtual const URLRequest& originalRequest() const = 0;
};

// Data, response and error as the session reports them: on success data and
// response, on failure the error, with the response too when the reply was
// refused only for its size (URLError::dataLengthExceedsMaximum).
using DataTaskCompletion = std::move_only_function<void(
    std::optional<Data>, std::optional<HTTPURLResponse>, std::optional<Error>)>;
// The downloaded body in a temporary file, which is removed once the
// completion returns; move it elsewhere to keep it.
using DownloadTaskCompletion = std::move_only_function<void(
    std::optional<URL>, std::optional<HTTPURLResponse>, std::optional<Error>)>;

class URLSession {
 public:
  // A session over libcurl with its own network thread. Without a delegate
  // queue, completions run on a serial queue of the session that the network
  // thread serves between transfers: keep them short (hand long work to
  // another queue), as they hold up the session's other transfers.
  static std::shared_ptr<URLSession> make(URLSessionConfiguration configuration,
                                          std::shared_ptr<DispatchQueue> delegateQueue = nullptr);

  // Destroying a session cancels its unfinished tasks; their completions
  // still run, with URLError::cancelled.
  virtual ~URLSession() = default;

  virtual std::shared_ptr<URLSessionTask> dataTask(URLRequest request,
                                                   DataTaskCompletion completion) = 0;
  virtual std::shared_ptr<URLSessionTask> downloadTask(URLRequest request,
                                                       DownloadTaskCompletion completion) = 0;

  virtual const URLSessionConfiguration& configuration() const = 0;
  virtual const std::shared_ptr<DispatchQueue>& delegateQueue() const = 0;
};

}  // namespace velmoradine
