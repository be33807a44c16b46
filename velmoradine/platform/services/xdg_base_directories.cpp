#include "velmoradine/platform/services/xdg_base_directories.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

#include "velmoradine/platform/foundation/file_locations.hpp"

namespace velmoradine::xdg {
namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* variable) {
  const char* value = std::getenv(variable);
  // The rules ignore relative paths: they would depend on the working directory.
  if (value && *value == '/') return std::filesystem::path(value);
  return std::nullopt;
}

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    if (end > start) parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::vector<std::filesystem::path> absoluteList(const char* variable, std::string_view fallback) {
  const char* value = std::getenv(variable);
  std::vector<std::filesystem::path> paths;
  for (const auto& part : split(value ? value : "", ':')) {
    if (part.front() == '/') paths.emplace_back(part);
  }
  if (paths.empty()) {
    for (const auto& part : split(fallback, ':')) paths.emplace_back(part);
  }
  return paths;
}

std::vector<std::filesystem::path> prepend(std::filesystem::path first,
                                           std::vector<std::filesystem::path> rest) {
  rest.insert(rest.begin(), std::move(first));
  return rest;
}

}  // namespace

std::string asciiLowercased(std::string_view text) {
  std::string lower(text);
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

std::vector<std::filesystem::path> configDirs() {
  return absoluteList("XDG_CONFIG_DIRS", "/etc/xdg");
}

std::filesystem::path dataHome() {
  return absoluteVariable("XDG_DATA_HOME")
      .value_or(file_locations::homeDirectory() / ".local/share");
}

std::vector<std::filesystem::path> dataDirs() {
  return absoluteList("XDG_DATA_DIRS", "/usr/local/share/:/usr/share/");
}

std::vector<std::filesystem::path> configSearchPath() {
  return prepend(file_locations::userConfigurationHome(), configDirs());
}

std::vector<std::filesystem::path> dataSearchPath() {
  return prepend(dataHome(), dataDirs());
}

std::vector<std::string> currentDesktops() {
  const char* value = std::getenv("XDG_CURRENT_DESKTOP");
  auto names = split(value ? value : "", ':');
  for (auto& name : names) name = asciiLowercased(name);
  return names;
}

}  // namespace velmoradine::xdg
