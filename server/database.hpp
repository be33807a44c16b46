#pragma once

// The devserver's SQLite database: applications, debug contexts, shares with
// their two files, and analytics events. One connection in WAL mode, guarded
// by a lock held for each operation; every statement is prepared and bound.
// Any SQLite failure throws DatabaseError, which the HTTP layer turns into a
// 500 reply.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/media_size.hpp"
#include "server/options.hpp"

struct sqlite3;
struct sqlite3_stmt;

namespace velmoradine::devserver {

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Application {
  std::int64_t id = 0;
  std::string slug;
  std::optional<std::string> ctaLink;
  std::optional<std::string> brandColor;
  std::optional<std::string> backgroundColor;
};

// The two files of a share, by the key of the share request that announced them.
enum class FileRole { videoContent, previewImage };
std::string_view roleName(FileRole role);

struct ShareFile {
  std::string storageKey;
  FileRole role = FileRole::videoContent;
  std::int64_t byteSize = 0;
  std::string checksum;
  std::string contentType;
  bool stored = false;
  bool active = false;
};

struct NewShare {
  std::int64_t applicationId = 0;
  std::string accessToken;
  std::string linkId;
  std::string title;
  std::string shareableType;
  std::optional<std::string> userId;
  ShareFile video;
  ShareFile preview;
};

// A share whose link may be shown: both files uploaded and activated.
struct PublicShare {
  std::string linkId;
  std::string title;
  ShareFile video;
  ShareFile preview;
  // The application that shared it, whose settings shape the page.
  Application application;
  // Read from the files when they were activated; none when unreadable.
  std::optional<PixelSize> videoSize;
  std::optional<PixelSize> previewSize;
};

struct StoredEvent {
  std::int64_t id = 0;
  std::int64_t receivedAt = 0;
  std::optional<std::string> userId;
  std::string body;
};

enum class ActivationResult { activated, unknownShare, notUploaded };

class Database {
 public:
  // Opens (creating when needed) the database file and brings its schema
  // up to date.
  static std::unique_ptr<Database> open(const std::filesystem::path& file);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // The value stored under `name`, storing `defaultValue` first when there is none.
  std::string setting(std::string_view name, std::string_view defaultValue);

  // Creates the application, or updates the one with the same key to exactly
  // the given values. Throws DatabaseError when another key holds the slug.
  void registerApplication(const ApplicationRegistration& registration);
  std::optional<Application> applicationByKey(std::string_view apiKey);
  std::optional<Application> applicationBySlug(std::string_view slug);

  // False when `code` is taken already.
  bool insertDebugContext(std::string_view code, std::int64_t applicationId,
                          const std::optional<std::string>& userId, std::string_view body);
  std::optional<std::string> debugContext(std::int64_t applicationId, std::string_view code);

  void insertShare(const NewShare& share);
  std::optional<ShareFile> fileByStorageKey(std::string_view storageKey);
  // Records a verified upload; false when the file's share is gone.
  bool markStored(std::string_view storageKey);
  // Activates the files named by the flags, all or none: every one must have
  // been stored. The share must belong to the application.
  ActivationResult activate(std::int64_t applicationId, std::string_view accessToken,
                            bool videoContent, bool previewImage);
  // Removes the share with its files and gives the storage keys of the files,
  // or nothing when the application has no share with that token.
  std::optional<std::vector<std::string>> deleteShare(std::int64_t applicationId,
                                                      std::string_view accessToken);
  std::optional<PublicShare> publicShare(std::string_view linkId);
  // The activated files of the application's share with that token.
  std::vector<ShareFile> activeFiles(std::int64_t applicationId, std::string_view accessToken);
  // Keeps the pixel size read from a stored file; nothing when the file is gone.
  void recordMediaSize(std::string_view storageKey, PixelSize size);

  // Stores a batch in one transaction: all of it or nothing.
  void insertEvents(std::int64_t applicationId, const std::optional<std::string>& userId,
                    std::int64_t receivedAt, const std::vector<std::string>& bodies);
  // The application's first `limit` events with an id above `afterId`,
  // oldest first.
  std::vector<StoredEvent> events(std::int64_t applicationId, std::int64_t afterId,
                                  std::int64_t limit);

 private:
  class Statement;
  explicit Database(sqlite3* connection);
  Statement statement(const char* sql);
  void execute(const char* sql);
  void migrate();

  sqlite3* connection_;
  std::mutex mutex_;
  // Prepared statements by the address of their SQL text, which is always a
  // literal or a function-local static.
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

}  // namespace velmoradine::devserver
