#include "velmoradine/platform/foundation/data.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace velmoradine {

Data Data::viewing(std::shared_ptr<const FileView> file) {
  Data data;
  data.view_ = std::move(file);
  return data;
}

std::size_t Data::size() const {
  return view_ ? view_->size() : owned_.size();
}

const std::uint8_t* Data::data() const {
  return view_ ? view_->mapping() : owned_.data();
}

std::uint8_t* Data::data() {
  return owned().data();
}

void Data::clear() {
  view_.reset();
  owned_.clear();
}

std::vector<std::uint8_t>& Data::owned() {
  if (view_) {
    const std::uint8_t* bytes = view_->mapping();
    owned_.assign(bytes, bytes + view_->size());
    view_.reset();
  }
  return owned_;
}

Result<void> Data::read(std::size_t offset, std::span<std::uint8_t> out) const {
  if (view_) return view_->read(offset, out);
  if (offset > owned_.size() || out.size() > owned_.size() - offset) {
    return failure(Error::posix(EINVAL, "a read past the end of the bytes"));
  }
  std::copy_n(owned_.data() + offset, out.size(), out.data());
  return {};
}

bool operator==(const Data& a, const Data& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

Result<std::shared_ptr<const FileView>> FileView::open(const std::filesystem::path& path) {
  // Non-blocking, so that opening a pipe without a writer returns at once
  // (to be refused below); reads of regular files are unaffected.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return failure(Error::posix(errno, path.string()));
  struct stat status {};
  int refusal = 0;
  if (::fstat(descriptor, &status) != 0) {
    refusal = errno;
  } else if (S_ISDIR(status.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(status.st_mode)) {
    refusal = EINVAL;
  }
  if (refusal != 0) {
    ::close(descriptor);
    return failure(Error::posix(refusal, path.string()));
  }
  ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::shared_ptr<const FileView>(
      new FileView(descriptor, static_cast<std::size_t>(status.st_size), path));
}

FileView::FileView(int descriptor, std::size_t size, std::filesystem::path path)
    : descriptor_(descriptor), size_(size), path_(std::move(path)) {}

FileView::~FileView() {
  if (mapping_) ::munmap(const_cast<std::uint8_t*>(mapping_), size_);
  ::close(descriptor_);
}

Result<void> FileView::read(std::size_t offset, std::span<std::uint8_t> out) const {
  if (offset > size_ || out.size() > size_ - offset) {
    return failure(Error::posix(EINVAL, "a read past the end of " + path_.string()));
  }
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::pread(descriptor_, out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failure(Error::posix(errno, path_.string()));
    if (got == 0) {
      return failure(Error::posix(EIO, path_.string() +
                                           ": the file became shorter while it was being read (" +
                                           std::to_string(size_) + " bytes expected)"));
    }
    done += static_cast<std::size_t>(got);
  }
  return {};
}

const std::uint8_t* FileView::mapping() const {
  std::call_once(mapped_, [this] {
    if (size_ == 0) return;
    void* address = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, descriptor_, 0);
    if (address != MAP_FAILED) {
      mapping_ = static_cast<const std::uint8_t*>(address);
      return;
    }
    // Without address space for a mapping, a copy keeps the promise of one
    // piece; bytes the file no longer has read as zeros.
    copy_.resize(size_);
    (void)read(0, copy_);
  });
  return mapping_ ? mapping_ : copy_.data();
}

}  // namespace velmoradine
