#include "velmoradine/platform/services/application_database.hpp"

#include <algorithm>
#include <set>

#include "velmoradine/platform/services/xdg_base_directories.hpp"

namespace velmoradine {
namespace {

constexpr std::string_view kDefaults = "Default Applications";
constexpr std::string_view kAdded = "Added Associations";
constexpr std::string_view kRemoved = "Removed Associations";

std::string desktopFileId(const std::filesystem::path& relative) {
  std::string id = relative.generic_string();
  std::ranges::replace(id, '/', '-');
  return id;
}

void appendUnique(std::vector<std::string>& ids, const std::vector<std::string>& more,
                  const std::set<std::string>& removed) {
  for (const auto& id : more) {
    if (!removed.contains(id) && std::ranges::find(ids, id) == ids.end()) ids.push_back(id);
  }
}

}  // namespace

ApplicationDatabase::ApplicationDatabase() {
  for (const auto& directory : xdg::dataSearchPath()) scanApplications(directory / "applications");
  readAssociationLists();
}

void ApplicationDatabase::scanApplications(const std::filesystem::path& directory) {
  std::error_code error;
  std::vector<std::filesystem::path> found;
  for (std::filesystem::recursive_directory_iterator
           it(directory, std::filesystem::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->path().extension() == ".desktop" && it->is_regular_file(error)) {
      found.push_back(it->path());
    }
  }
  std::ranges::sort(found);
  for (const auto& path : found) {
    std::string id = desktopFileId(path.lexically_relative(directory));
    if (pathsById_.emplace(id, path).second) installedIds_.push_back(std::move(id));
  }
}

std::vector<std::filesystem::path> ApplicationDatabase::mimeappsListPaths() {
  std::vector<std::filesystem::path> directories = xdg::configSearchPath();
  for (const auto& data : xdg::dataSearchPath()) directories.push_back(data / "applications");
  std::vector<std::filesystem::path> paths;
  for (const auto& directory : directories) {
    for (const auto& desktop : xdg::currentDesktops()) {
      paths.push_back(directory / (desktop + "-mimeapps.list"));
    }
    paths.push_back(directory / "mimeapps.list");
  }
  return paths;
}

void ApplicationDatabase::readAssociationLists() {
  for (const auto& path : mimeappsListPaths()) {
    if (auto file = KeyFile::read(path)) {
      lists_.push_back({std::move(*file), path.filename() != "mimeapps.list"});
    }
  }
}

std::optional<DesktopEntry> ApplicationDatabase::entry(std::string_view id) const {
  const auto found = pathsById_.find(id);
  if (found == pathsById_.end()) return std::nullopt;
  auto entry = readDesktopEntry(found->second, std::string(id));
  if (!entry || !isLaunchable(*entry)) return std::nullopt;
  return std::move(*entry);
}

std::optional<DesktopEntry> ApplicationDatabase::defaultApplication(
    std::string_view mimeType) const {
  const std::string type = xdg::asciiLowercased(mimeType);
  for (const auto& list : lists_) {
    for (const auto& id : list.file.list(kDefaults, type)) {
      if (auto found = entry(id)) return found;
    }
  }
  auto associated = applicationsFor(type);
  if (associated.empty()) return std::nullopt;
  return std::move(associated.front());
}

std::vector<DesktopEntry> ApplicationDatabase::applicationsFor(std::string_view mimeType) const {
  const std::string type = xdg::asciiLowercased(mimeType);
  std::vector<std::string> ids;
  std::set<std::string> removed;
  for (const auto& list : lists_) {
    appendUnique(ids, list.file.list(kDefaults, type), removed);
    if (list.desktopSpecific) continue;
    appendUnique(ids, list.file.list(kAdded, type), removed);
    for (auto& id : list.file.list(kRemoved, type)) removed.insert(std::move(id));
  }
  std::vector<DesktopEntry> applications;
  for (const auto& id : ids) {
    if (auto found = entry(id)) applications.push_back(std::move(*found));
  }
  for (const auto& id : installedIds_) {
    if (removed.contains(id) || std::ranges::find(ids, id) != ids.end()) continue;
    if (auto found = entry(id); found && found->handles(type)) {
      applications.push_back(std::move(*found));
    }
  }
  return applications;
}

}  // namespace velmoradine
