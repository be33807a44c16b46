#include "server/storage.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <system_error>

#include "server/crypto.hpp"

namespace velmoradine::devserver {

namespace {

// Socket reads arrive in small pieces; writing them in large blocks keeps
// the number of system calls low.
constexpr std::size_t kWriteBlockBytes = 1024 * 1024;
// A body longer than its plan is read on (and dropped) up to this many extra
// bytes, so the client still gets the reply; beyond it the connection is cut.
constexpr std::size_t kMaxOverrunBytes = 64 * 1024 * 1024;

[[noreturn]] void throwErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

class TemporaryFile {
 public:
  explicit TemporaryFile(std::filesystem::path path) : path_(std::move(path)) {
    descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor_ < 0) throwErrno("cannot create " + path_.string());
  }
  ~TemporaryFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void write(const char* data, std::size_t size) {
    while (size > 0) {
      ssize_t written = ::write(descriptor_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        throwErrno("cannot write " + path_.string());
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }
  void close() {
    int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0) throwErrno("cannot close " + path_.string());
  }
  void renameTo(const std::filesystem::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) throwErrno("cannot store " + target.string());
    kept_ = true;
  }

 private:
  std::filesystem::path path_;
  int descriptor_ = -1;
  bool kept_ = false;
};

}  // namespace

Storage::Storage(const std::filesystem::path& root, Database& database)
    : files_(root / "files"), temporary_(root / "tmp"), database_(database) {
  std::filesystem::create_directories(files_);
  std::filesystem::create_directories(temporary_);
  for (const auto& entry : std::filesystem::directory_iterator(temporary_)) {
    std::filesystem::remove(entry.path());
  }
}

std::filesystem::path Storage::pathFor(std::string_view storageKey) const {
  return files_ / std::string(storageKey.substr(0, 2)) / std::string(storageKey);
}

UploadResult Storage::receive(const ShareFile& file, const BodyReader& reader) {
  TemporaryFile temporary(temporary_ / (hexEncode(randomBytes(12)) + ".part"));
  Md5 md5;
  std::string block;
  block.reserve(kWriteBlockBytes);
  const auto expected = static_cast<std::uint64_t>(file.byteSize);
  std::uint64_t received = 0;

  // A disk failure inside the reader's callback is carried out of it rather
  // than thrown through the HTTP library.
  std::exception_ptr failure;
  bool complete = reader([&](const char* data, std::size_t size) {
    received += size;
    if (received > expected) return received - expected <= kMaxOverrunBytes;
    md5.update(data, size);
    try {
      if (block.size() + size > kWriteBlockBytes) {
        temporary.write(block.data(), block.size());
        block.clear();
      }
      if (size >= kWriteBlockBytes) {
        temporary.write(data, size);
      } else {
        block.append(data, size);
      }
    } catch (...) {
      failure = std::current_exception();
      return false;
    }
    return true;
  });
  if (failure) std::rethrow_exception(failure);

  if (received > expected) return UploadResult::sizeMismatch;
  if (!complete) return UploadResult::incomplete;
  if (received != expected) return UploadResult::sizeMismatch;
  if (base64Encode(md5.finish()) != file.checksum) return UploadResult::checksumMismatch;
  temporary.write(block.data(), block.size());
  temporary.close();

  auto target = pathFor(file.storageKey);
  std::lock_guard lock(commitMutex_);
  if (!database_.fileByStorageKey(file.storageKey)) return UploadResult::shareGone;
  std::filesystem::create_directories(target.parent_path());
  temporary.renameTo(target);
  if (!database_.markStored(file.storageKey)) {
    std::filesystem::remove(target);
    return UploadResult::shareGone;
  }
  return UploadResult::stored;
}

bool Storage::withdraw(std::int64_t applicationId, std::string_view accessToken) {
  std::lock_guard lock(commitMutex_);
  auto keys = database_.deleteShare(applicationId, accessToken);
  if (!keys) return false;
  for (const auto& key : *keys) {
    std::error_code ignored;
    std::filesystem::remove(pathFor(key), ignored);
  }
  return true;
}

int Storage::openForReading(std::string_view storageKey) const {
  return ::open(pathFor(storageKey).c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace velmoradine::devserver
