#include "velmoradine/platform/http/url_cache.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

namespace velmoradine {
namespace {

// Header fields and bookkeeping are charged at a fixed estimate.
constexpr std::size_t kEntryOverhead = 512;

std::string fileNameFor(const std::string& key) {
  // FNV-1a; the key stored in the file settles any collision.
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : key) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.cache", static_cast<unsigned long long>(hash));
  return name;
}

std::string keyFor(const URLRequest& request) {
  return request.url().absoluteString();
}

// An entry file: one line of JSON metadata, then the body bytes.
nlohmann::json metadata(const std::string& key, const CachedURLResponse& response) {
  nlohmann::json headers = nlohmann::json::array();
  for (const auto& [name, value] : response.response.allHeaderFields) {
    headers.push_back({name, value});
  }
  return {{"key", key},
          {"url", response.response.url.absoluteString()},
          {"status", response.response.statusCode},
          {"headers", headers},
          {"stored", std::chrono::duration_cast<std::chrono::milliseconds>(
                         response.storedAt.time_since_epoch())
                         .count()}};
}

struct EntryFile {
  std::string key;
  std::optional<CachedURLResponse> response;
};

std::optional<EntryFile> readEntry(const std::filesystem::path& file, bool withBody) {
  std::ifstream stream(file, std::ios::binary);
  std::string line;
  if (!stream || !std::getline(stream, line)) return std::nullopt;
  try {
    auto meta = nlohmann::json::parse(line);
    EntryFile entry{meta.at("key").get<std::string>(), std::nullopt};
    if (!withBody) return entry;
    auto url = URL::parse(meta.at("url").get<std::string>());
    if (!url) return std::nullopt;
    HTTPHeaderFields headers;
    for (const auto& field : meta.at("headers")) {
      headers.emplace_back(field.at(0).get<std::string>(), field.at(1).get<std::string>());
    }
    CachedURLResponse response{
        HTTPURLResponse{*url, meta.at("status").get<int>(), std::move(headers)},
        Data((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>()),
        std::chrono::system_clock::time_point(
            std::chrono::milliseconds(meta.at("stored").get<long long>()))};
    entry.response = std::move(response);
    return entry;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::size_t costOf(const CachedURLResponse& response) {
  return response.data.size() + kEntryOverhead;
}

}  // namespace

URLCache::URLCache(std::size_t memoryCapacity, std::size_t diskCapacity,
                   std::optional<std::filesystem::path> directory)
    : memoryCapacity_(memoryCapacity),
      diskCapacity_(diskCapacity),
      directory_(std::move(directory)) {
  if (directory_) loadDiskIndex();
}

void URLCache::loadDiskIndex() {
  std::error_code error;
  std::filesystem::create_directories(*directory_, error);
  std::vector<std::tuple<std::filesystem::file_time_type, std::string, DiskEntry>> found;
  for (const auto& item : std::filesystem::directory_iterator(*directory_, error)) {
    if (!item.is_regular_file(error) || item.path().extension() != ".cache") continue;
    auto entry = readEntry(item.path(), false);
    if (!entry || fileFor(entry->key) != item.path()) {
      std::filesystem::remove(item.path(), error);
      continue;
    }
    found.emplace_back(item.last_write_time(error), entry->key,
                       DiskEntry{item.path(), static_cast<std::size_t>(item.file_size(error))});
  }
  // Most recently written first, as the list keeps most recently used first.
  std::ranges::sort(found,
                    [](const auto& a, const auto& b) { return std::get<0>(a) > std::get<0>(b); });
  for (auto& [time, key, entry] : found) {
    diskUsage_ += entry.size;
    disk_.emplace_back(key, std::move(entry));
    diskIndex_[key] = std::prev(disk_.end());
  }
}

std::filesystem::path URLCache::fileFor(const std::string& key) const {
  return *directory_ / fileNameFor(key);
}

std::optional<CachedURLResponse> URLCache::cachedResponse(const URLRequest& request) {
  std::string key = keyFor(request);
  std::lock_guard lock(mutex_);
  if (auto found = memoryIndex_.find(key); found != memoryIndex_.end()) {
    memory_.splice(memory_.begin(), memory_, found->second);
    return found->second->response;
  }
  auto response = readFromDisk(key);
  if (response) {
    std::size_t cost = costOf(*response);
    if (cost <= memoryCapacity_ / 20) storeInMemory(key, *response, cost);
  }
  return response;
}

void URLCache::storeCachedResponse(CachedURLResponse response, const URLRequest& request) {
  std::string key = keyFor(request);
  std::size_t cost = costOf(response);
  std::lock_guard lock(mutex_);
  removeLocked(key);
  if (cost <= memoryCapacity_ / 20) storeInMemory(key, response, cost);
  if (directory_ && cost <= diskCapacity_ / 20) storeOnDisk(key, response);
}

void URLCache::storeInMemory(const std::string& key, const CachedURLResponse& response,
                             std::size_t cost) {
  if (auto found = memoryIndex_.find(key); found != memoryIndex_.end()) {
    memoryUsage_ -= found->second->cost;
    memory_.erase(found->second);
    memoryIndex_.erase(found);
  }
  while (!memory_.empty() && memoryUsage_ + cost > memoryCapacity_) {
    memoryUsage_ -= memory_.back().cost;
    memoryIndex_.erase(memory_.back().key);
    memory_.pop_back();
  }
  memory_.push_front({key, response, cost});
  memoryIndex_[key] = memory_.begin();
  memoryUsage_ += cost;
}

void URLCache::storeOnDisk(const std::string& key, const CachedURLResponse& response) {
  std::filesystem::path file = fileFor(key);
  std::filesystem::path partial = file;
  partial += ".partial";
  {
    std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
    stream << metadata(key, response).dump() << '\n';
    stream.write(reinterpret_cast<const char*>(response.data.data()),
                 static_cast<std::streamsize>(response.data.size()));
    if (!stream.good()) {
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      return;
    }
  }
  std::error_code error;
  // Readers see the old entry or the new one, never half of one.
  std::filesystem::rename(partial, file, error);
  if (error) return;
  auto size = static_cast<std::size_t>(std::filesystem::file_size(file, error));
  while (!disk_.empty() && diskUsage_ + size > diskCapacity_) {
    auto& [oldest, entry] = disk_.back();
    std::filesystem::remove(entry.file, error);
    diskUsage_ -= entry.size;
    diskIndex_.erase(oldest);
    disk_.pop_back();
  }
  disk_.emplace_front(key, DiskEntry{file, size});
  diskIndex_[key] = disk_.begin();
  diskUsage_ += size;
}

std::optional<CachedURLResponse> URLCache::readFromDisk(const std::string& key) {
  auto found = diskIndex_.find(key);
  if (found == diskIndex_.end()) return std::nullopt;
  auto entry = readEntry(found->second->second.file, true);
  if (!entry || entry->key != key || !entry->response) {
    removeLocked(key);
    return std::nullopt;
  }
  disk_.splice(disk_.begin(), disk_, found->second);
  std::error_code ignored;
  std::filesystem::last_write_time(found->second->second.file,
                                   std::filesystem::file_time_type::clock::now(), ignored);
  return std::move(entry->response);
}

void URLCache::removeLocked(const std::string& key) {
  if (auto found = memoryIndex_.find(key); found != memoryIndex_.end()) {
    memoryUsage_ -= found->second->cost;
    memory_.erase(found->second);
    memoryIndex_.erase(found);
  }
  if (auto found = diskIndex_.find(key); found != diskIndex_.end()) {
    std::error_code ignored;
    std::filesystem::remove(found->second->second.file, ignored);
    diskUsage_ -= found->second->second.size;
    disk_.erase(found->second);
    diskIndex_.erase(found);
  }
}

void URLCache::removeCachedResponse(const URLRequest& request) {
  std::lock_guard lock(mutex_);
  removeLocked(keyFor(request));
}

void URLCache::removeAllCachedResponses() {
  std::lock_guard lock(mutex_);
  while (!memory_.empty()) removeLocked(memory_.front().key);
  while (!disk_.empty()) removeLocked(disk_.front().first);
}

std::size_t URLCache::currentMemoryUsage() const {
  std::lock_guard lock(mutex_);
  return memoryUsage_;
}

std::size_t URLCache::currentDiskUsage() const {
  std::lock_guard lock(mutex_);
  return diskUsage_;
}

}  // namespace velmoradine
