#pragma once

// Remote files for layers: a `Resource` turns one URL into a local file once,
// however many parties ask; `ResourceLoader` downloads through its own URL
// session and cache and moves each download to a stable, content-addressed
// path under the documents folder, so a URL always lands at the same file.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "velmoradine/core/safe_reintrant_callback.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine {

// Resolves a URL to a local file URL: file URLs stand for themselves, other
// URLs are downloaded by the shared ResourceLoader.
class ResourceHelper final : public SafeReintrantCallbackLoader<URL, Result<URL>> {
 public:
  void fetch(const URL& identifier, std::function<void(Result<URL>)> completion) override;
};

// One layer's remote file, resolved once; answers arrive on the resource's
// own serial queue.
class Resource final : public SafeReintrantCallback<URL, URL> {
 public:
  static std::shared_ptr<Resource> create(URL identifier);

 private:
  explicit Resource(URL identifier) : SafeReintrantCallback(std::move(identifier)) {}
};

class ResourceLoader {
 public:
  enum class Error { unknown = 1, notFound, serverError };
  using Completion = std::move_only_function<void(Result<URL>)>;

  static ResourceLoader& shared();

  // Downloads `url` into the documents folder (under `directoryPrefix` when
  // given). The completion runs on the session's queue.
  void fetch(const URL& url, std::optional<std::string> directoryPrefix, Completion completion);
  void send(URLRequest request, std::optional<std::string> directoryPrefix, Completion completion);

  // Created on first use: 10 MB in memory, 100 MB on disk in
  // "VelmoradineDownloadCache" under the caches folder.
  std::shared_ptr<URLCache> cache();
  // Created on first use: the default configuration with `cache`, 15-second
  // request and resource time-outs.
  std::shared_ptr<URLSession> urlSession();
  // "VelmoradineResources" under the documents folder unless set.
  std::filesystem::path documentsDirectory();
  void setDocumentsDirectory(std::filesystem::path directory);

 private:
  void store(const URLRequest& request, const URL& temporaryFile,
             const std::optional<std::string>& directoryPrefix, Completion completion);

  std::mutex mutex_;
  std::shared_ptr<URLCache> cache_;                          // guarded by mutex_
  std::shared_ptr<URLSession> urlSession_;                   // guarded by mutex_
  std::optional<std::filesystem::path> documentsDirectory_;  // guarded by mutex_
};

// The file name a download of `url` is stored under: the MD5 hex digest of
// the URL's text, a dot and the URL's path extension.
std::string resourceFileName(const URL& url);

const ErrorCategory& resourceLoaderErrorCategory();
std::error_code make_error_code(ResourceLoader::Error error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::ResourceLoader::Error> : std::true_type {};
