#include "velmoradine/platform/services/atomic_file_copy.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace velmoradine {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;

// Closes the descriptor it holds when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now, so that a failed close (delayed write errors) is seen.
  Result<void> close(const std::filesystem::path& path) {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return failure(Error::posix(errno, "closing " + path.string()));
    return {};
  }

 private:
  int fd_;
};

Error systemError(const char* action, const std::filesystem::path& path) {
  return Error::posix(errno, std::string(action) + " " + path.string());
}

Result<void> writeAll(int fd, const std::uint8_t* bytes, std::size_t count,
                      const std::filesystem::path& path) {
  while (count > 0) {
    ssize_t written = ::write(fd, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return failure(systemError("writing", path));
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return {};
}

Result<void> copyContents(int from, const std::filesystem::path& source, int to,
                          const std::filesystem::path& target) {
  std::vector<std::uint8_t> buffer(kChunkSize);
  for (;;) {
    ssize_t count = ::read(from, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return failure(systemError("reading", source));
    if (count == 0) return {};
    VELMORADINE_TRY(writeAll(to, buffer.data(), static_cast<std::size_t>(count), target));
  }
}

Result<void> checkSource(const FileDescriptor& fd, const std::filesystem::path& source) {
  if (!fd.valid()) return failure(systemError("opening", source));
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) return failure(systemError("reading", source));
  // A pipe or a device could block or never end.
  if (!S_ISREG(status.st_mode)) {
    return failure(Error::posix(EINVAL, "not a file: " + source.string()));
  }
  return {};
}

// The whole copy into `temporary`, flushed to the disk and closed.
Result<void> writeTemporary(int from, const std::filesystem::path& source, FileDescriptor& to,
                            const std::filesystem::path& temporary) {
  VELMORADINE_TRY(copyContents(from, source, to.get(), temporary));
  if (::fsync(to.get()) != 0) return failure(systemError("flushing", temporary));
  return to.close(temporary);
}

// Makes the rename itself survive a crash.
void syncFolder(const std::filesystem::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

Result<void> copyFileAtomically(const std::filesystem::path& source,
                                const std::filesystem::path& destination) {
  FileDescriptor input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  VELMORADINE_TRY(checkSource(input, source));
  const auto folder = destination.parent_path();
  const auto temporary = folder / ("." + destination.filename().string() + ".partial");
  FileDescriptor output(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!output.valid()) return failure(systemError("creating", temporary));
  auto written = writeTemporary(input.get(), source, output, temporary);
  if (written && ::rename(temporary.c_str(), destination.c_str()) != 0) {
    written = failure(systemError("naming", destination));
  }
  if (!written) {
    ::unlink(temporary.c_str());
    return written;
  }
  syncFolder(folder);
  return {};
}

}  // namespace velmoradine
