#pragma once

// Uploaded files on disk, under DIR/storage:
//   files/<first two characters of the key>/<key>   stored, verified uploads
//   tmp/<random>.part                                uploads being received
// An upload streams into a temporary file while its length and MD5 are
// checked; only a complete, verified upload is renamed over the final name,
// so a failed or partial upload never replaces good data. Keys are made by
// the server (hex), never taken from a request's path.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/database.hpp"

namespace velmoradine::devserver {

// Feeds the request body to `sink` piece by piece; false when the body could
// not be read to its end (or `sink` refused more).
using BodyReader = std::function<bool(const std::function<bool(const char*, std::size_t)>& sink)>;

enum class UploadResult {
  stored,
  // The body was longer or shorter than the plan's byte size.
  sizeMismatch,
  // The body's MD5 differs from the plan's checksum.
  checksumMismatch,
  // The share was deleted before the upload finished.
  shareGone,
  // The body ended early (the client went away).
  incomplete,
};

class Storage {
 public:
  // Creates the folders and removes temporary files a previous run left behind.
  Storage(const std::filesystem::path& root, Database& database);

  // Receives the body of an upload for `file` and, when it matches the plan,
  // stores it and records it in the database. Throws std::system_error when
  // the disk fails.
  UploadResult receive(const ShareFile& file, const BodyReader& reader);

  // Deletes the application's share with that token and its files; gives
  // false when there is no such share.
  bool withdraw(std::int64_t applicationId, std::string_view accessToken);

  // An open descriptor for reading a stored file, or -1.
  int openForReading(std::string_view storageKey) const;

  std::filesystem::path pathFor(std::string_view storageKey) const;

 private:
  std::filesystem::path files_;
  std::filesystem::path temporary_;
  Database& database_;
  // Serialises the last step of an upload (rename, then record) with share
  // deletion (forget, then unlink), so a file is never left behind by a
  // share deleted while its upload was in flight.
  std::mutex commitMutex_;
};

}  // namespace velmoradine::devserver
