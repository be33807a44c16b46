#pragma once

// The user's answer to whether a host application may add to the photo
// library, kept in a one-word text file ("authorized", "denied", "limited",
// "restricted") in a folder of that application's settings. The user may
// edit or delete the file to change the answer; a missing or unreadable one
// means the question is still open.
//
// Threading: callable from any thread; every call reads or writes the file,
// so other processes of the same host see the answer at once.

#include <filesystem>
#include <optional>
#include <string_view>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/services/photo_library.hpp"

namespace velmoradine {

class PhotoAuthorizationStore {
 public:
  static constexpr std::string_view kFileName = "photo-library-authorization";

  explicit PhotoAuthorizationStore(std::filesystem::path folderPath);

  const std::filesystem::path& folderPath() const { return folderPath_; }
  PHAuthorizationStatus load() const;
  // Replaces the file in one step, so a reader never sees half a word.
  Result<void> save(PHAuthorizationStatus status) const;

 private:
  std::filesystem::path folderPath_;
};

std::string_view photoAuthorizationStatusName(PHAuthorizationStatus status);
std::optional<PHAuthorizationStatus> photoAuthorizationStatusNamed(std::string_view name);

}  // namespace velmoradine
