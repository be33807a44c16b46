#include "velmoradine/platform/services/xdg_user_directories.hpp"

#include <string>

#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/foundation/file_locations.hpp"

namespace velmoradine::xdg_user_directories {
namespace {

// The file is a few hundred bytes; anything much larger is not one.
constexpr std::size_t kMaximumFileSize = 64 * 1024;

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The shell-style value: quoted with backslash escapes, or bare.
std::optional<std::string> unquoted(std::string_view value) {
  if (value.empty() || value.front() != '"') return std::string(value);
  std::string text;
  for (std::size_t i = 1; i < value.size(); ++i) {
    if (value[i] == '"') return text;
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    text += value[i];
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> resolved(const std::string& value,
                                              const std::filesystem::path& home) {
  constexpr std::string_view kHome = "$HOME";
  if (value.starts_with(kHome)) {
    std::string_view rest = std::string_view(value).substr(kHome.size());
    if (rest.empty()) return home;
    if (rest.front() != '/') return std::nullopt;
    return home / rest.substr(1);
  }
  if (value.starts_with('/')) return std::filesystem::path(value);
  return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> parseEntry(std::string_view contents, std::string_view key,
                                                const std::filesystem::path& home) {
  std::optional<std::filesystem::path> found;
  while (!contents.empty()) {
    std::size_t end = contents.find('\n');
    std::string_view line = trimmed(contents.substr(0, end));
    contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
    if (!line.starts_with(key) || line.substr(key.size()).find('=') != 0) continue;
    // As in a shell script, a later assignment wins.
    if (auto value = unquoted(trimmed(line.substr(key.size() + 1)))) {
      found = resolved(*value, home);
    }
  }
  return found;
}

std::filesystem::path videosDirectory() {
  const auto home = file_locations::homeDirectory();
  auto contents =
      readContents(file_locations::userConfigurationHome() / "user-dirs.dirs", kMaximumFileSize);
  if (contents) {
    std::string_view text(reinterpret_cast<const char*>(contents->data()), contents->size());
    if (auto path = parseEntry(text, "XDG_VIDEOS_DIR", home)) return *path;
  }
  return home / "Videos";
}

}  // namespace velmoradine::xdg_user_directories
