#pragma once

// The files of a share (its video and its preview) as HTTP replies: long-lived
// caching with validators, conditional requests, and byte ranges.

#include <httplib.h>

#include <atomic>
#include <memory>

#include "server/database.hpp"
#include "server/storage.hpp"

namespace velmoradine::devserver {

// Counts the file bodies being sent, so slow viewers cannot take every
// connection the server is willing to serve. Safe from any thread.
class MediaStreams {
 public:
  explicit MediaStreams(int limit) : limit_(limit) {}
  // A slot held until the returned token is destroyed, or nothing when all
  // are taken.
  std::shared_ptr<void> tryAcquire();

 private:
  const int limit_;
  std::atomic<int> active_{0};
};

// Replies with `file`, stored and activated (its content never changes).
// False, with nothing written, when the file cannot be read.
bool serveMedia(const httplib::Request& request, httplib::Response& response,
                const Storage& storage, MediaStreams& streams, const ShareFile& file);

}  // namespace velmoradine::devserver
