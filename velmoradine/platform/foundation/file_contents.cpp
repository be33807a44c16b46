#include "velmoradine/platform/foundation/file_contents.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

namespace velmoradine {
namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kGrowthStep = std::size_t{1} << 14;

// Advises the 2 MiB-aligned part of [begin, begin + size) onto large pages.
void adviseLargePages(std::uint8_t* begin, std::size_t size) {
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t first = (start + kLargePage - 1) / kLargePage * kLargePage;
  const std::uintptr_t last = (start + size) / kLargePage * kLargePage;
  if (last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
}

class Descriptor {
 public:
  explicit Descriptor(int value) : value_(value) {}
  ~Descriptor() {
    if (value_ >= 0) ::close(value_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return value_; }

 private:
  int value_;
};

// Reads into data[offset...] until the buffer is full or the file ends;
// returns how much of the buffer holds file bytes.
Result<std::size_t> readInto(int descriptor, Data& data, std::size_t offset,
                             const std::filesystem::path& path) {
  while (offset < data.size()) {
    const ssize_t got = ::read(descriptor, data.data() + offset, data.size() - offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failure(Error::posix(errno, path.string()));
    if (got == 0) break;
    offset += static_cast<std::size_t>(got);
  }
  return offset;
}

}  // namespace

Data makeZeroedData(std::size_t size) {
  Data data;
  if (size >= 2 * kLargePage) {
    data.reserve(size);
    adviseLargePages(data.data(), size);
  }
  data.resize(size);
  return data;
}

Result<Data> viewContents(const std::filesystem::path& path) {
  VELMORADINE_ASSIGN_OR_RETURN(auto file, FileView::open(path));
  return Data::viewing(std::move(file));
}

Result<Data> readContents(const std::filesystem::path& path) {
  return readContents(path, std::numeric_limits<std::size_t>::max());
}

Result<Data> readContents(const std::filesystem::path& path, std::size_t maximumSize) {
  // Non-blocking, so that opening a pipe without a writer returns at once
  // (to be refused below); reads of regular files are unaffected.
  Descriptor descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (descriptor.get() < 0) return failure(Error::posix(errno, path.string()));
  struct stat status {};
  if (::fstat(descriptor.get(), &status) != 0) return failure(Error::posix(errno, path.string()));
  if (S_ISDIR(status.st_mode)) return failure(Error::posix(EISDIR, path.string()));
  if (!S_ISREG(status.st_mode)) return failure(Error::posix(EINVAL, path.string()));
  if (static_cast<std::uintmax_t>(status.st_size) > maximumSize) {
    return failure(Error::posix(EFBIG, path.string()));
  }

  Data data = makeZeroedData(static_cast<std::size_t>(status.st_size));
  VELMORADINE_ASSIGN_OR_RETURN(const auto filled, readInto(descriptor.get(), data, 0, path));
  data.resize(filled);
  // The file may have grown since it was measured.
  std::uint8_t chunk[kGrowthStep];
  while (true) {
    const ssize_t got = ::read(descriptor.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failure(Error::posix(errno, path.string()));
    if (got == 0) return data;
    if (static_cast<std::size_t>(got) > maximumSize - data.size()) {
      return failure(Error::posix(EFBIG, path.string()));
    }
    data.insert(data.end(), chunk, chunk + got);
  }
}

}  // namespace velmoradine
