#pragma once

// A cache of HTTP responses keyed by request URL, kept in memory up to
// `memoryCapacity` bytes and on disk, in `directory`, up to `diskCapacity`
// bytes. The least recently used entries are evicted first. A cache with a
// directory finds the entries an earlier process left there.
//
// Threading: every operation is safe from any thread.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/http/url_request.hpp"

namespace velmoradine {

struct CachedURLResponse {
  HTTPURLResponse response;
  Data data;
  // When the response was stored; its age counts from here.
  std::chrono::system_clock::time_point storedAt = std::chrono::system_clock::now();
};

class URLCache {
 public:
  // Without a directory the cache lives in memory only.
  URLCache(std::size_t memoryCapacity, std::size_t diskCapacity,
           std::optional<std::filesystem::path> directory);
  URLCache(const URLCache&) = delete;
  URLCache& operator=(const URLCache&) = delete;

  std::optional<CachedURLResponse> cachedResponse(const URLRequest& request);
  // Stores `response` for the request's URL, replacing an older entry. It is
  // kept in memory when at most a twentieth of the memory capacity and on
  // disk when at most a twentieth of the disk capacity: one response should
  // not evict most of the cache.
  void storeCachedResponse(CachedURLResponse response, const URLRequest& request);
  void removeCachedResponse(const URLRequest& request);
  void removeAllCachedResponses();

  std::size_t memoryCapacity() const { return memoryCapacity_; }
  std::size_t diskCapacity() const { return diskCapacity_; }
  const std::optional<std::filesystem::path>& directory() const { return directory_; }
  std::size_t currentMemoryUsage() const;
  std::size_t currentDiskUsage() const;

 private:
  struct MemoryEntry {
    std::string key;
    CachedURLResponse response;
    std::size_t cost;
  };
  struct DiskEntry {
    std::filesystem::path file;
    std::size_t size;
  };

  void storeInMemory(const std::string& key, const CachedURLResponse& response, std::size_t cost);
  void storeOnDisk(const std::string& key, const CachedURLResponse& response);
  std::optional<CachedURLResponse> readFromDisk(const std::string& key);
  void removeLocked(const std::string& key);
  void loadDiskIndex();
  std::filesystem::path fileFor(const std::string& key) const;

  const std::size_t memoryCapacity_;
  const std::size_t diskCapacity_;
  const std::optional<std::filesystem::path> directory_;

  mutable std::mutex mutex_;
  // Most recently used first.
  std::list<MemoryEntry> memory_;
  std::map<std::string, std::list<MemoryEntry>::iterator> memoryIndex_;
  std::size_t memoryUsage_ = 0;
  std::list<std::pair<std::string, DiskEntry>> disk_;
  std::map<std::string, std::list<std::pair<std::string, DiskEntry>>::iterator> diskIndex_;
  std::size_t diskUsage_ = 0;
};

}  // namespace velmoradine
