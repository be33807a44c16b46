#include "velmoradine/platform/services/photo_authorization_store.hpp"

#include <array>
#include <cctype>
#include <fstream>
#include <string>
#include <utility>

#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"

namespace velmoradine {
namespace {

constexpr std::size_t kMaximumFileSize = 1024;

constexpr std::array<std::pair<PHAuthorizationStatus, std::string_view>, 5> kNames{{
    {PHAuthorizationStatus::notDetermined, "notDetermined"},
    {PHAuthorizationStatus::restricted, "restricted"},
    {PHAuthorizationStatus::denied, "denied"},
    {PHAuthorizationStatus::authorized, "authorized"},
    {PHAuthorizationStatus::limited, "limited"},
}};

std::string_view withoutSpace(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  return text;
}

}  // namespace

std::string_view photoAuthorizationStatusName(PHAuthorizationStatus status) {
  for (const auto& [value, name] : kNames) {
    if (value == status) return name;
  }
  return "notDetermined";
}

std::optional<PHAuthorizationStatus> photoAuthorizationStatusNamed(std::string_view name) {
  for (const auto& [value, known] : kNames) {
    if (known == name) return value;
  }
  return std::nullopt;
}

PhotoAuthorizationStore::PhotoAuthorizationStore(std::filesystem::path folderPath)
    : folderPath_(std::move(folderPath)) {}

PHAuthorizationStatus PhotoAuthorizationStore::load() const {
  const auto path = folderPath_ / kFileName;
  auto contents = readContents(path, kMaximumFileSize);
  if (!contents) return PHAuthorizationStatus::notDetermined;
  std::string_view text(reinterpret_cast<const char*>(contents->data()), contents->size());
  if (auto status = photoAuthorizationStatusNamed(withoutSpace(text))) return *status;
  console::writeLine("[PhotoLibrary] " + path.string() +
                     " holds no known answer; the user will be asked again");
  return PHAuthorizationStatus::notDetermined;
}

Result<void> PhotoAuthorizationStore::save(PHAuthorizationStatus status) const {
  std::error_code error;
  std::filesystem::create_directories(folderPath_, error);
  if (error) return failure(Error(error, "creating " + folderPath_.string()));
  const auto path = folderPath_ / kFileName;
  const auto temporary = folderPath_ / ("." + std::string(kFileName) + ".partial");
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << photoAuthorizationStatusName(status) << '\n';
    file.close();
    if (!file) return failure(Error::posix(EIO, "writing " + temporary.string()));
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return failure(Error(error, "naming " + path.string()));
  }
  return {};
}

}  // namespace velmoradine
