#include "velmoradine/share/resource.hpp"

#include "velmoradine/core/logger.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/foundation/file_locations.hpp"

namespace velmoradine {
namespace {

constexpr auto kRequestTimeout = std::chrono::seconds(60);
constexpr auto kSessionTimeout = std::chrono::seconds(15);

URLRequest downloadRequest(const URL& url) {
  URLRequest request(url, URLRequestCachePolicy::useProtocolCachePolicy, kRequestTimeout);
  request.setHTTPMethod("GET");
  return request;
}

// Moves `from` over `to`, replacing what is there. A rename within one file
// system is atomic; across file systems the bytes are copied to a sibling
// first and then renamed, so the destination is never half written.
std::error_code replaceItem(const std::filesystem::path& to, const std::filesystem::path& from) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  if (error != std::errc::cross_device_link) return error;
  error.clear();
  std::filesystem::path staging = to;
  staging += ".partial";
  std::filesystem::copy_file(from, staging, std::filesystem::copy_options::overwrite_existing,
                             error);
  if (!error) std::filesystem::rename(staging, to, error);
  if (error) std::filesystem::remove(staging);
  return error;
}

}  // namespace

VELMORADINE_DEFINE_ERROR_ENUMERATION(ResourceLoader::Error, resourceLoaderErrorCategory,
                                     "Velmoradine.ResourceLoader",
                                     {ResourceLoader::Error::unknown, "An unknown error occurred."},
                                     {ResourceLoader::Error::notFound, "Resource not found."},
                                     {ResourceLoader::Error::serverError, "Server error"})

std::string resourceFileName(const URL& url) {
  const std::string& text = url.absoluteString();
  std::string digest =
      hashed(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
             HashType::md5, HashOutputType::hex)
          .value_or("");
  return digest + "." + url.pathExtension();
}

void ResourceHelper::fetch(const URL& identifier, std::function<void(Result<URL>)> completion) {
  if (identifier.isFileURL()) {
    completion(identifier);
    return;
  }
  ResourceLoader::shared().send(
      downloadRequest(identifier), std::nullopt,
      [completion](Result<URL> result) { completion(std::move(result)); });
}

std::shared_ptr<Resource> Resource::create(URL identifier) {
  std::shared_ptr<Resource> resource(new Resource(std::move(identifier)));
  resource->setLoader(std::make_shared<ResourceHelper>());
  return resource;
}

ResourceLoader& ResourceLoader::shared() {
  static ResourceLoader* loader = new ResourceLoader;
  return *loader;
}

std::shared_ptr<URLCache> ResourceLoader::cache() {
  std::lock_guard lock(mutex_);
  if (!cache_) {
    cache_ = std::make_shared<URLCache>(
        10'000'000, 100'000'000, file_locations::cachesDirectory() / "VelmoradineDownloadCache");
  }
  return cache_;
}

std::shared_ptr<URLSession> ResourceLoader::urlSession() {
  std::shared_ptr<URLCache> sessionCache = cache();
  std::lock_guard lock(mutex_);
  if (!urlSession_) {
    URLSessionConfiguration configuration = URLSessionConfiguration::defaultConfiguration();
    configuration.urlCache = std::move(sessionCache);
    configuration.timeoutIntervalForRequest = kSessionTimeout;
    configuration.timeoutIntervalForResource = kSessionTimeout;
    urlSession_ = URLSession::make(std::move(configuration));
  }
  return urlSession_;
}

std::filesystem::path ResourceLoader::documentsDirectory() {
  std::lock_guard lock(mutex_);
  if (!documentsDirectory_) {
    documentsDirectory_ = file_locations::documentsDirectory() / "VelmoradineResources";
  }
  return *documentsDirectory_;
}

void ResourceLoader::setDocumentsDirectory(std::filesystem::path directory) {
  std::lock_guard lock(mutex_);
  documentsDirectory_ = std::move(directory);
}

void ResourceLoader::fetch(const URL& url, std::optional<std::string> directoryPrefix,
                           Completion completion) {
  send(downloadRequest(url), std::move(directoryPrefix), std::move(completion));
}

void ResourceLoader::send(URLRequest request, std::optional<std::string> directoryPrefix,
                          Completion completion) {
  auto logger = std::make_shared<DurationLogger>(DurationLogger::begin("[ResourceLoader] fetch"));
  console::writeLine("[Velmoradine] Requesting url: " + request.url().absoluteString());
  std::shared_ptr<URLCache> responseCache = cache();
  auto task = urlSession()->downloadTask(
      request, [this, request, responseCache, logger, directoryPrefix = std::move(directoryPrefix),
                completion = std::move(completion)](
                   std::optional<URL> location, std::optional<HTTPURLResponse> response,
                   std::optional<velmoradine::Error> error) mutable {
        logger->finish();
        if (error) {
          completion(failure(*error));
          return;
        }
        if (response && response->statusCode >= 400) {
          completion(failure(velmoradine::Error(response->statusCode >= 500 ? Error::serverError
                                                                            : Error::notFound)));
          return;
        }
        if (response && location && !responseCache->cachedResponse(request)) {
          if (auto bytes = readContents(location->filePath())) {
            responseCache->storeCachedResponse(CachedURLResponse{*response, std::move(*bytes)},
                                               request);
          }
        }
        if (!location) {
          completion(failure(velmoradine::Error(Error::notFound)));
          return;
        }
        store(request, *location, directoryPrefix, std::move(completion));
      });
  task->resume();
}

void ResourceLoader::store(const URLRequest& request, const URL& temporaryFile,
                           const std::optional<std::string>& directoryPrefix,
                           Completion completion) {
  std::filesystem::path folder = documentsDirectory();
  if (directoryPrefix) folder /= *directoryPrefix;
  std::filesystem::path destination = folder / resourceFileName(request.url());
  std::error_code error;
  std::filesystem::create_directories(destination.parent_path(), error);
  if (error) {
    completion(failure(velmoradine::Error(error, destination.parent_path().string())));
    return;
  }
  error = replaceItem(destination, temporaryFile.filePath());
  if (error) {
    completion(failure(velmoradine::Error(error, destination.string())));
    return;
  }
  completion(URL::fileURL(destination));
}

}  // namespace velmoradine
