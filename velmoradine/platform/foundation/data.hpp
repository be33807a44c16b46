#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class FileView;

// A buffer of bytes: file contents, request and response bodies.
//
// Most buffers own their bytes. A buffer made by `viewing` a file is a
// read-only view of it instead: a video of a gigabyte then costs no memory of
// its own. Code that streams the bytes (digests, uploads) reads such a view in
// chunks with `read`, which notices a file that shrank meanwhile; code that
// needs them in one piece gets a mapping of the file from `data()`. Changing a
// view first copies it into a buffer of its own.
class Data {
 public:
  using value_type = std::uint8_t;
  using size_type = std::size_t;
  using iterator = std::uint8_t*;
  using const_iterator = const std::uint8_t*;

  Data() = default;
  Data(std::vector<std::uint8_t> bytes) : owned_(std::move(bytes)) {}
  explicit Data(std::size_t count, std::uint8_t value = 0) : owned_(count, value) {}
  Data(std::initializer_list<std::uint8_t> bytes) : owned_(bytes) {}
  template <std::input_iterator Iterator>
  Data(Iterator first, Iterator last) : owned_(first, last) {}

  // A read-only view of `file`'s bytes.
  static Data viewing(std::shared_ptr<const FileView> file);

  bool isFileView() const { return view_ != nullptr; }
  std::size_t size() const;
  bool empty() const { return size() == 0; }

  const std::uint8_t* data() const;
  std::uint8_t* data();
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size(); }
  iterator begin() { return data(); }
  iterator end() { return data() + size(); }
  const std::uint8_t& operator[](std::size_t index) const { return data()[index]; }
  std::uint8_t& operator[](std::size_t index) { return data()[index]; }

  // Copies the bytes at [offset, offset + out.size()) into `out`. Fails when
  // the range lies beyond the end, or when a viewed file can no longer supply
  // it (it was truncated), never with a partly filled `out`.
  Result<void> read(std::size_t offset, std::span<std::uint8_t> out) const;

  void reserve(std::size_t capacity) { owned().reserve(capacity); }
  void resize(std::size_t size) { owned().resize(size); }
  void clear();
  void push_back(std::uint8_t byte) { owned().push_back(byte); }
  template <std::input_iterator Iterator>
  iterator insert(const_iterator position, Iterator first, Iterator last) {
    auto& bytes = owned();
    const auto offset = position - bytes.data();
    return bytes.data() + (bytes.insert(bytes.begin() + offset, first, last) - bytes.begin());
  }

  friend bool operator==(const Data& a, const Data& b);

 private:
  std::vector<std::uint8_t>& owned();

  std::vector<std::uint8_t> owned_;
  std::shared_ptr<const FileView> view_;
};

// An open regular file whose bytes a `Data` can view. The file is kept open,
// so it can be renamed or unlinked meanwhile; its size is the size it had
// when opened. Safe from any thread.
class FileView {
 public:
  // Opens `path` for reading. A missing file fails with ENOENT, a directory
  // with EISDIR, any other file that is not regular with EINVAL.
  static Result<std::shared_ptr<const FileView>> open(const std::filesystem::path& path);
  ~FileView();
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  std::size_t size() const { return size_; }
  const std::filesystem::path& path() const { return path_; }
  Result<void> read(std::size_t offset, std::span<std::uint8_t> out) const;
  // The file mapped into memory, made on first use. Reading a page of it
  // after another process truncated the file raises SIGBUS, so the kit's own
  // code streams through `read` instead.
  const std::uint8_t* mapping() const;

 private:
  FileView(int descriptor, std::size_t size, std::filesystem::path path);

  const int descriptor_;
  const std::size_t size_;
  const std::filesystem::path path_;
  mutable std::once_flag mapped_;
  mutable const std::uint8_t* mapping_ = nullptr;
  mutable std::vector<std::uint8_t> copy_;
};

}  // namespace velmoradine
