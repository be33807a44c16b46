#include "velmoradine/platform/services/desktop_application_catalog.hpp"

#include <array>

#include "velmoradine/platform/foundation/file_locations.hpp"
#include "velmoradine/platform/services/application_database.hpp"
#include "velmoradine/platform/services/desktop_process.hpp"
#include "velmoradine/platform/services/desktop_services_error.hpp"
#include "velmoradine/platform/services/xdg_base_directories.hpp"

namespace velmoradine {
namespace {

constexpr std::array<std::string_view, 10> kIconSizes = {
    "512x512", "256x256", "128x128", "96x96", "64x64", "48x48", "32x32", "24x24", "22x22", "16x16"};

bool isFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// Icon directories in the order the icon theme rules search them.
std::vector<std::filesystem::path> iconBaseDirectories() {
  std::vector<std::filesystem::path> directories = {file_locations::homeDirectory() / ".icons"};
  for (const auto& data : xdg::dataSearchPath()) directories.push_back(data / "icons");
  return directories;
}

std::optional<std::filesystem::path> themedIcon(const std::string& name) {
  const auto bases = iconBaseDirectories();
  for (const auto size : kIconSizes) {
    for (const auto& base : bases) {
      auto candidate = base / "hicolor" / size / "apps" / (name + ".png");
      if (isFile(candidate)) return candidate;
    }
  }
  for (const auto& base : bases) {
    auto candidate = base / "hicolor/scalable/apps" / (name + ".svg");
    if (isFile(candidate)) return candidate;
  }
  for (const auto* extension : {".png", ".svg", ".xpm"}) {
    auto candidate = std::filesystem::path("/usr/share/pixmaps") / (name + extension);
    if (isFile(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> iconPath(const std::string& icon) {
  if (icon.empty()) return std::nullopt;
  if (icon.front() == '/')
    return isFile(icon) ? std::optional<std::filesystem::path>(icon) : std::nullopt;
  // A relative path is not a name the theme could hold.
  if (icon.find('/') != std::string::npos) return std::nullopt;
  return themedIcon(icon);
}

std::vector<DesktopApplication> DesktopApplicationCatalog::applicationsOpening(
    const std::string& mimeType) {
  std::vector<DesktopApplication> applications;
  for (const auto& entry : ApplicationDatabase().applicationsFor(mimeType)) {
    if (entry.noDisplay) continue;
    applications.push_back(
        {entry.id, entry.name.empty() ? entry.id : entry.name, iconPath(entry.icon)});
  }
  return applications;
}

Result<void> DesktopApplicationCatalog::launch(const DesktopApplication& application,
                                               const std::vector<URL>& urls) {
  const auto entry = ApplicationDatabase().entry(application.identifier);
  if (!entry) return failure(Error(DesktopServicesError::noApplication, application.identifier));
  std::vector<std::string> uris;
  for (const auto& url : urls) uris.push_back(url.absoluteString());
  return desktop_process::launch(*entry, uris);
}

}  // namespace velmoradine
