#include "velmoradine/platform/foundation/file_locations.hpp"

#include <cstdlib>

#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine::file_locations {
namespace {

std::filesystem::path xdgDirectory(const char* variable, const char* fallbackUnderHome) {
  const char* value = std::getenv(variable);
  // The XDG rules ignore relative paths in these variables.
  if (value && *value == '/') return value;
  return homeDirectory() / fallbackUnderHome;
}

std::string applicationFolderName() {
  if (auto identifier = Bundle::main().bundleIdentifier(); identifier && !identifier->empty()) {
    return *identifier;
  }
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("velmoradine") : executable.filename().string();
}

}  // namespace

std::filesystem::path homeDirectory() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::filesystem::path(home) : std::filesystem::temp_directory_path();
}

std::filesystem::path userConfigurationHome() {
  return xdgDirectory("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path configurationDirectory() {
  return userConfigurationHome() / applicationFolderName();
}

std::filesystem::path cachesDirectory() {
  return xdgDirectory("XDG_CACHE_HOME", ".cache") / applicationFolderName();
}

std::filesystem::path documentsDirectory() {
  return xdgDirectory("XDG_DATA_HOME", ".local/share") / applicationFolderName();
}

std::filesystem::path temporaryDirectory() {
  return std::filesystem::temp_directory_path();
}

}  // namespace velmoradine::file_locations
