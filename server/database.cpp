#include "server/database.hpp"

#include <sqlite3.h>

#include <chrono>

namespace velmoradine::devserver {

namespace {

constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS settings(
  name TEXT PRIMARY KEY,
  value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS applications(
  id INTEGER PRIMARY KEY,
  api_key TEXT NOT NULL UNIQUE,
  slug TEXT NOT NULL UNIQUE,
  cta_link TEXT,
  brand_color TEXT,
  background_color TEXT,
  created_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS debug_contexts(
  code TEXT PRIMARY KEY,
  application_id INTEGER NOT NULL REFERENCES applications(id),
  user_id TEXT,
  body TEXT NOT NULL,
  created_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS shares(
  id INTEGER PRIMARY KEY,
  application_id INTEGER NOT NULL REFERENCES applications(id),
  access_token TEXT NOT NULL UNIQUE,
  link_id TEXT NOT NULL UNIQUE,
  title TEXT NOT NULL,
  shareable_type TEXT NOT NULL,
  user_id TEXT,
  created_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS share_files(
  storage_key TEXT PRIMARY KEY,
  share_id INTEGER NOT NULL REFERENCES shares(id) ON DELETE CASCADE,
  role TEXT NOT NULL CHECK (role IN ('video_content', 'preview_image')),
  byte_size INTEGER NOT NULL,
  checksum TEXT NOT NULL,
  content_type TEXT NOT NULL,
  stored INTEGER NOT NULL DEFAULT 0,
  active INTEGER NOT NULL DEFAULT 0,
  UNIQUE(share_id, role));
CREATE TABLE IF NOT EXISTS events(
  id INTEGER PRIMARY KEY,
  application_id INTEGER NOT NULL REFERENCES applications(id),
  user_id TEXT,
  received_at INTEGER NOT NULL,
  body TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS media_sizes(
  storage_key TEXT PRIMARY KEY REFERENCES share_files(storage_key) ON DELETE CASCADE,
  width INTEGER NOT NULL,
  height INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS events_by_application ON events(application_id, id);
)sql";

std::int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::optional<FileRole> roleFromName(std::string_view name) {
  if (name == "video_content") return FileRole::videoContent;
  if (name == "preview_image") return FileRole::previewImage;
  return std::nullopt;
}

}  // namespace

std::string_view roleName(FileRole role) {
  return role == FileRole::videoContent ? "video_content" : "preview_image";
}

// A prepared statement borrowed from the connection's cache; reset and
// unbound when the borrow ends. Only used while the database lock is held.
class Database::Statement {
 public:
  Statement(sqlite3* connection, sqlite3_stmt* statement)
      : connection_(connection), statement_(statement) {}
  ~Statement() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, std::int64_t value) {
    check(sqlite3_bind_int64(statement_, index, value));
    return *this;
  }
  Statement& bind(int index, std::string_view value) {
    check(sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  Statement& bind(int index, const std::string& value) {
    return bind(index, std::string_view(value));
  }
  Statement& bind(int index, const std::optional<std::string>& value) {
    if (!value) {
      check(sqlite3_bind_null(statement_, index));
      return *this;
    }
    return bind(index, std::string_view(*value));
  }

  // True while there is a row to read.
  bool step() {
    int status = sqlite3_step(statement_);
    if (status == SQLITE_ROW) return true;
    if (status == SQLITE_DONE) return false;
    throw DatabaseError(sqlite3_errmsg(connection_));
  }
  // Runs a statement that returns no rows; false on a constraint violation.
  bool run() {
    int status = sqlite3_step(statement_);
    if (status == SQLITE_DONE || status == SQLITE_ROW) return true;
    if ((status & 0xff) == SQLITE_CONSTRAINT) return false;
    throw DatabaseError(sqlite3_errmsg(connection_));
  }

  std::int64_t integer(int column) { return sqlite3_column_int64(statement_, column); }
  std::string text(int column) {
    auto data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return data == nullptr ? std::string()
                           : std::string(data, sqlite3_column_bytes(statement_, column));
  }
  std::optional<std::int64_t> optionalInteger(int column) {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    return integer(column);
  }
  std::optional<std::string> optionalText(int column) {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    return text(column);
  }

 private:
  void check(int status) {
    if (status != SQLITE_OK) throw DatabaseError(sqlite3_errmsg(connection_));
  }
  sqlite3* connection_;
  sqlite3_stmt* statement_;
};

std::unique_ptr<Database> Database::open(const std::filesystem::path& file) {
  sqlite3* connection = nullptr;
  int status =
      sqlite3_open_v2(file.c_str(), &connection,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (status != SQLITE_OK) {
    std::string message = connection ? sqlite3_errmsg(connection) : sqlite3_errstr(status);
    sqlite3_close(connection);
    throw DatabaseError("cannot open " + file.string() + ": " + message);
  }
  std::unique_ptr<Database> database(new Database(connection));
  database->execute("PRAGMA journal_mode=WAL");
  database->execute("PRAGMA synchronous=NORMAL");
  database->execute("PRAGMA foreign_keys=ON");
  sqlite3_busy_timeout(connection, 5000);
  database->migrate();
  return database;
}

Database::Database(sqlite3* connection) : connection_(connection) {}

Database::~Database() {
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  sqlite3_close(connection_);
}

Database::Statement Database::statement(const char* sql) {
  auto found = statements_.find(sql);
  if (found == statements_.end()) {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v3(connection_, sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr) !=
        SQLITE_OK) {
      throw DatabaseError(sqlite3_errmsg(connection_));
    }
    found = statements_.emplace(sql, prepared).first;
  }
  return Statement(connection_, found->second);
}

void Database::execute(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(connection_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw DatabaseError(text);
  }
}

void Database::migrate() {
  std::lock_guard lock(mutex_);
  std::int64_t version = 0;
  {
    auto query = statement("PRAGMA user_version");
    if (query.step()) version = query.integer(0);
  }
  if (version > kSchemaVersion) {
    throw DatabaseError("the database was written by a newer devserver (schema " +
                        std::to_string(version) + ")");
  }
  execute("BEGIN IMMEDIATE");
  try {
    execute(kSchema);
    execute(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    execute("COMMIT");
  } catch (...) {
    execute("ROLLBACK");
    throw;
  }
}

std::string Database::setting(std::string_view name, std::string_view defaultValue) {
  std::lock_guard lock(mutex_);
  statement("INSERT OR IGNORE INTO settings(name, value) VALUES(?1, ?2)")
      .bind(1, name)
      .bind(2, defaultValue)
      .run();
  auto query = statement("SELECT value FROM settings WHERE name = ?1");
  query.bind(1, name);
  if (!query.step()) throw DatabaseError("setting " + std::string(name) + " vanished");
  return query.text(0);
}

void Database::registerApplication(const ApplicationRegistration& registration) {
  std::lock_guard lock(mutex_);
  bool stored = statement(
                    "INSERT INTO applications(api_key, slug, cta_link, brand_color, "
                    "background_color, created_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6) "
                    "ON CONFLICT(api_key) DO UPDATE SET slug = excluded.slug, "
                    "cta_link = excluded.cta_link, brand_color = excluded.brand_color, "
                    "background_color = excluded.background_color")
                    .bind(1, registration.apiKey)
                    .bind(2, registration.slug)
                    .bind(3, registration.ctaLink)
                    .bind(4, registration.brandColor)
                    .bind(5, registration.backgroundColor)
                    .bind(6, nowSeconds())
                    .run();
  if (!stored) {
    throw DatabaseError("the slug \"" + registration.slug +
                        "\" belongs to an application with another key");
  }
}

namespace {
constexpr const char* kApplicationColumns =
    "SELECT id, slug, cta_link, brand_color, background_color FROM applications ";
}

std::optional<Application> Database::applicationByKey(std::string_view apiKey) {
  std::lock_guard lock(mutex_);
  static const std::string sql = std::string(kApplicationColumns) + "WHERE api_key = ?1";
  auto query = statement(sql.c_str());
  query.bind(1, apiKey);
  if (!query.step()) return std::nullopt;
  return Application{query.integer(0), query.text(1), query.optionalText(2), query.optionalText(3),
                     query.optionalText(4)};
}

std::optional<Application> Database::applicationBySlug(std::string_view slug) {
  std::lock_guard lock(mutex_);
  static const std::string sql = std::string(kApplicationColumns) + "WHERE slug = ?1";
  auto query = statement(sql.c_str());
  query.bind(1, slug);
  if (!query.step()) return std::nullopt;
  return Application{query.integer(0), query.text(1), query.optionalText(2), query.optionalText(3),
                     query.optionalText(4)};
}

bool Database::insertDebugContext(std::string_view code, std::int64_t applicationId,
                                  const std::optional<std::string>& userId, std::string_view body) {
  std::lock_guard lock(mutex_);
  return statement(
             "INSERT INTO debug_contexts(code, application_id, user_id, body, created_at) "
             "VALUES(?1, ?2, ?3, ?4, ?5)")
      .bind(1, code)
      .bind(2, applicationId)
      .bind(3, userId)
      .bind(4, body)
      .bind(5, nowSeconds())
      .run();
}

std::optional<std::string> Database::debugContext(std::int64_t applicationId,
                                                  std::string_view code) {
  std::lock_guard lock(mutex_);
  auto query = statement("SELECT body FROM debug_contexts WHERE code = ?1 AND application_id = ?2");
  query.bind(1, code).bind(2, applicationId);
  if (!query.step()) return std::nullopt;
  return query.text(0);
}

void Database::insertShare(const NewShare& share) {
  std::lock_guard lock(mutex_);
  execute("BEGIN IMMEDIATE");
  try {
    bool inserted = statement(
                        "INSERT INTO shares(application_id, access_token, link_id, title, "
                        "shareable_type, user_id, created_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")
                        .bind(1, share.applicationId)
                        .bind(2, share.accessToken)
                        .bind(3, share.linkId)
                        .bind(4, share.title)
                        .bind(5, share.shareableType)
                        .bind(6, share.userId)
                        .bind(7, nowSeconds())
                        .run();
    if (!inserted) throw DatabaseError("a share token or link collided");
    std::int64_t shareId = sqlite3_last_insert_rowid(connection_);
    for (const ShareFile* file : {&share.video, &share.preview}) {
      bool fileInserted =
          statement(
              "INSERT INTO share_files(storage_key, share_id, role, byte_size, checksum, "
              "content_type) VALUES(?1, ?2, ?3, ?4, ?5, ?6)")
              .bind(1, file->storageKey)
              .bind(2, shareId)
              .bind(3, roleName(file->role))
              .bind(4, file->byteSize)
              .bind(5, file->checksum)
              .bind(6, file->contentType)
              .run();
      if (!fileInserted) throw DatabaseError("a storage key collided");
    }
    execute("COMMIT");
  } catch (...) {
    execute("ROLLBACK");
    throw;
  }
}

namespace {
constexpr const char* kFileColumns =
    "SELECT storage_key, role, byte_size, checksum, content_type, stored, active FROM "
    "share_files ";
}

std::optional<ShareFile> Database::fileByStorageKey(std::string_view storageKey) {
  std::lock_guard lock(mutex_);
  static const std::string sql = std::string(kFileColumns) + "WHERE storage_key = ?1";
  auto query = statement(sql.c_str());
  query.bind(1, storageKey);
  if (!query.step()) return std::nullopt;
  auto role = roleFromName(query.text(1));
  if (!role) throw DatabaseError("a file has an unknown role");
  return ShareFile{query.text(0),        *role,         query.integer(2),
                   query.text(3),        query.text(4), query.integer(5) != 0,
                   query.integer(6) != 0};
}

bool Database::markStored(std::string_view storageKey) {
  std::lock_guard lock(mutex_);
  statement("UPDATE share_files SET stored = 1 WHERE storage_key = ?1").bind(1, storageKey).run();
  return sqlite3_changes(connection_) > 0;
}

ActivationResult Database::activate(std::int64_t applicationId, std::string_view accessToken,
                                    bool videoContent, bool previewImage) {
  std::lock_guard lock(mutex_);
  execute("BEGIN IMMEDIATE");
  try {
    auto result = [&] {
      auto query = statement(
          "SELECT f.role, f.stored FROM share_files f JOIN shares s ON s.id = f.share_id "
          "WHERE s.access_token = ?1 AND s.application_id = ?2");
      query.bind(1, accessToken).bind(2, applicationId);
      bool found = false;
      while (query.step()) {
        found = true;
        auto role = roleFromName(query.text(0));
        bool wanted = (role == FileRole::videoContent && videoContent) ||
                      (role == FileRole::previewImage && previewImage);
        if (wanted && query.integer(1) == 0) return ActivationResult::notUploaded;
      }
      return found ? ActivationResult::activated : ActivationResult::unknownShare;
    }();
    if (result == ActivationResult::activated) {
      for (auto [role, wanted] : {std::pair{FileRole::videoContent, videoContent},
                                  std::pair{FileRole::previewImage, previewImage}}) {
        if (!wanted) continue;
        statement(
            "UPDATE share_files SET active = 1 WHERE role = ?1 AND share_id = "
            "(SELECT id FROM shares WHERE access_token = ?2 AND application_id = ?3)")
            .bind(1, roleName(role))
            .bind(2, accessToken)
            .bind(3, applicationId)
            .run();
      }
    }
    execute("COMMIT");
    return result;
  } catch (...) {
    execute("ROLLBACK");
    throw;
  }
}

std::optional<std::vector<std::string>> Database::deleteShare(std::int64_t applicationId,
                                                              std::string_view accessToken) {
  std::lock_guard lock(mutex_);
  execute("BEGIN IMMEDIATE");
  try {
    std::vector<std::string> keys;
    bool found = false;
    {
      auto query =
          statement("SELECT id FROM shares WHERE access_token = ?1 AND application_id = ?2");
      query.bind(1, accessToken).bind(2, applicationId);
      found = query.step();
    }
    if (found) {
      auto files = statement(
          "SELECT f.storage_key FROM share_files f JOIN shares s ON s.id = f.share_id "
          "WHERE s.access_token = ?1");
      files.bind(1, accessToken);
      while (files.step()) keys.push_back(files.text(0));
    }
    if (found) {
      statement("DELETE FROM shares WHERE access_token = ?1 AND application_id = ?2")
          .bind(1, accessToken)
          .bind(2, applicationId)
          .run();
    }
    execute("COMMIT");
    if (!found) return std::nullopt;
    return keys;
  } catch (...) {
    execute("ROLLBACK");
    throw;
  }
}

std::optional<PublicShare> Database::publicShare(std::string_view linkId) {
  std::lock_guard lock(mutex_);
  static const std::string sql =
      "SELECT f.storage_key, f.role, f.byte_size, f.checksum, f.content_type, f.stored, "
      "f.active, s.title, a.id, a.slug, a.cta_link, a.brand_color, a.background_color, m.width, "
      "m.height FROM share_files f JOIN shares s ON s.id = f.share_id "
      "JOIN applications a ON a.id = s.application_id "
      "LEFT JOIN media_sizes m ON m.storage_key = f.storage_key WHERE s.link_id = ?1";
  auto query = statement(sql.c_str());
  query.bind(1, linkId);
  PublicShare share;
  share.linkId = std::string(linkId);
  int activeFiles = 0;
  while (query.step()) {
    auto role = roleFromName(query.text(1));
    if (!role) throw DatabaseError("a file has an unknown role");
    ShareFile file{query.text(0),        *role,         query.integer(2),
                   query.text(3),        query.text(4), query.integer(5) != 0,
                   query.integer(6) != 0};
    if (!file.active) continue;
    ++activeFiles;
    share.title = query.text(7);
    share.application = Application{query.integer(8), query.text(9), query.optionalText(10),
                                    query.optionalText(11), query.optionalText(12)};
    auto width = query.optionalInteger(13);
    auto height = query.optionalInteger(14);
    std::optional<PixelSize> size;
    if (width && height) size = PixelSize{static_cast<int>(*width), static_cast<int>(*height)};
    bool isVideo = *role == FileRole::videoContent;
    (isVideo ? share.videoSize : share.previewSize) = size;
    (isVideo ? share.video : share.preview) = std::move(file);
  }
  if (activeFiles != 2) return std::nullopt;
  return share;
}

std::vector<ShareFile> Database::activeFiles(std::int64_t applicationId,
                                             std::string_view accessToken) {
  std::lock_guard lock(mutex_);
  static const std::string sql =
      std::string(kFileColumns) +
      "WHERE active = 1 AND share_id = "
      "(SELECT id FROM shares WHERE access_token = ?1 AND application_id = ?2)";
  auto query = statement(sql.c_str());
  query.bind(1, accessToken).bind(2, applicationId);
  std::vector<ShareFile> files;
  while (query.step()) {
    auto role = roleFromName(query.text(1));
    if (!role) throw DatabaseError("a file has an unknown role");
    files.push_back(ShareFile{query.text(0), *role, query.integer(2), query.text(3), query.text(4),
                              query.integer(5) != 0, query.integer(6) != 0});
  }
  return files;
}

void Database::recordMediaSize(std::string_view storageKey, PixelSize size) {
  std::lock_guard lock(mutex_);
  statement("INSERT OR REPLACE INTO media_sizes(storage_key, width, height) VALUES(?1, ?2, ?3)")
      .bind(1, storageKey)
      .bind(2, std::int64_t{size.width})
      .bind(3, std::int64_t{size.height})
      .run();
}

void Database::insertEvents(std::int64_t applicationId, const std::optional<std::string>& userId,
                            std::int64_t receivedAt, const std::vector<std::string>& bodies) {
  std::lock_guard lock(mutex_);
  execute("BEGIN IMMEDIATE");
  try {
    for (const auto& body : bodies) {
      statement(
          "INSERT INTO events(application_id, user_id, received_at, body) VALUES(?1, ?2, ?3, ?4)")
          .bind(1, applicationId)
          .bind(2, userId)
          .bind(3, receivedAt)
          .bind(4, body)
          .run();
    }
    execute("COMMIT");
  } catch (...) {
    execute("ROLLBACK");
    throw;
  }
}

std::vector<StoredEvent> Database::events(std::int64_t applicationId, std::int64_t afterId,
                                          std::int64_t limit) {
  std::lock_guard lock(mutex_);
  auto query = statement(
      "SELECT id, received_at, user_id, body FROM events WHERE application_id = ?1 AND id > ?2 "
      "ORDER BY id LIMIT ?3");
  query.bind(1, applicationId).bind(2, afterId).bind(3, limit);
  std::vector<StoredEvent> events;
  while (query.step()) {
    events.push_back(
        StoredEvent{query.integer(0), query.integer(1), query.optionalText(2), query.text(3)});
  }
  return events;
}

}  // namespace velmoradine::devserver
