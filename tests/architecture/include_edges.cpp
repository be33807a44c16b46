#include "tests/architecture/include_edges.hpp"

#include <array>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

namespace velmoradine::architecture {
namespace {

constexpr std::string_view kTableHeading = "## Allowed include edges";
constexpr std::string_view kPlatformWildcard = "platform/*";

// Header prefixes of the C libraries that only platform/ and server/ may use.
constexpr std::array<std::string_view, 20> kCLibraryPrefixes = {
    "libavcodec/",  "libavformat/", "libavutil/", "libswscale/", "libswresample/",
    "libavfilter/", "libavdevice/", "cairo",      "pango",       "curl/",
    "sqlite3",      "openssl/",     "plist/",     "png.h",       "jpeglib.h",
    "turbojpeg.h",  "libyuv",       "SDL",        "jerror.h",    "pngconf.h"};

std::string trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t`");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t`");
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> cells(std::string_view row) {
  std::vector<std::string> result;
  std::string cell;
  for (char c : row.substr(1)) {
    if (c == '|') {
      result.push_back(trim(cell));
      cell.clear();
    } else {
      cell += c;
    }
  }
  return result;
}

std::vector<std::string> splitList(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream stream(list);
  std::string item;
  while (std::getline(stream, item, ',')) {
    auto name = trim(item);
    if (!name.empty() && name != "—" && name != "-") items.push_back(name);
  }
  return items;
}

void expandPlatformWildcard(EdgeTable& table) {
  std::set<std::string> platformAreas;
  for (const auto& [area, allowed] : table) {
    if (area.starts_with("platform/")) platformAreas.insert(area);
  }
  for (auto& [area, allowed] : table) {
    if (allowed.erase(std::string(kPlatformWildcard)) > 0) {
      allowed.insert(platformAreas.begin(), platformAreas.end());
    }
  }
}

// The area an include path names, or none for system and local headers.
std::optional<std::string> areaOfInclude(std::string_view path) {
  if (path.starts_with("server/")) return "server";
  if (!path.starts_with("velmoradine/")) return std::nullopt;
  return areaOfFile(path);
}

bool isCLibraryHeader(std::string_view path) {
  for (auto prefix : kCLibraryPrefixes) {
    if (path.starts_with(prefix)) return true;
  }
  return false;
}

bool mayUseCLibraries(const std::string& area) {
  return area.starts_with("platform/") || area == "server";
}

bool isSourceFile(const std::filesystem::path& path) {
  const auto extension = path.extension();
  return extension == ".cpp" || extension == ".hpp" || extension == ".h" || extension == ".in";
}

}  // namespace

EdgeTable parseEdgeTable(std::string_view markdown) {
  EdgeTable table;
  std::stringstream stream{std::string(markdown)};
  std::string line;
  bool inSection = false;
  while (std::getline(stream, line)) {
    if (line.starts_with("## ")) inSection = line.starts_with(kTableHeading);
    if (!inSection || !line.starts_with("|")) continue;
    auto row = cells(line);
    if (row.size() != 2 || row[0] == "area" || row[0].starts_with("---")) continue;
    auto& allowed = table[row[0]];
    for (auto& name : splitList(row[1])) allowed.insert(std::move(name));
  }
  expandPlatformWildcard(table);
  return table;
}

std::optional<std::string> areaOfFile(std::string_view relativePath) {
  auto component = [&](std::size_t index) -> std::optional<std::string> {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
      start = relativePath.find('/', start);
      if (start == std::string_view::npos) return std::nullopt;
      ++start;
    }
    const auto end = relativePath.find('/', start);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(relativePath.substr(start, end - start));
  };
  const auto top = component(0);
  if (top == "apps" || top == "server") return top;
  if (top != "velmoradine") return std::nullopt;
  const auto area = component(1);
  if (area != "platform") return area;
  const auto platformArea = component(2);
  if (!platformArea) return std::nullopt;
  return "platform/" + *platformArea;
}

std::optional<std::string> checkInclude(const EdgeTable& table, const std::string& area,
                                        std::string_view line) {
  static const std::regex include(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])");
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_search(line.begin(), line.end(), match, include)) return std::nullopt;
  const std::string path = match[1].str();
  if (isCLibraryHeader(path) && !mayUseCLibraries(area)) {
    return "C-library header <" + path + "> outside platform/ and server/ (in " + area + ")";
  }
  const auto target = areaOfInclude(path);
  if (!target || *target == area) return std::nullopt;
  const auto row = table.find(area);
  if (row == table.end()) return "area " + area + " has no row in docs/architecture.md";
  if (!row->second.contains(*target)) {
    return "edge " + area + " -> " + *target + " is not allowed (\"" + path + "\")";
  }
  return std::nullopt;
}

std::vector<std::string> checkTree(const EdgeTable& table, const std::filesystem::path& sourceDir) {
  std::vector<std::string> violations;
  for (const char* folder : {"velmoradine", "apps", "server"}) {
    if (!std::filesystem::exists(sourceDir / folder)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceDir / folder)) {
      if (!entry.is_regular_file() || !isSourceFile(entry.path())) continue;
      const auto relative = entry.path().lexically_relative(sourceDir).generic_string();
      const auto area = areaOfFile(relative);
      if (!area) continue;
      std::ifstream file(entry.path());
      std::string line;
      for (int number = 1; std::getline(file, line); ++number) {
        if (auto problem = checkInclude(table, *area, line)) {
          violations.push_back(relative + ":" + std::to_string(number) + ": " + *problem);
        }
      }
    }
  }
  return violations;
}

std::vector<std::string> areasOnCycles(const EdgeTable& table) {
  std::vector<std::string> onCycles;
  for (const auto& [start, edges] : table) {
    std::set<std::string> seen;
    std::function<bool(const std::string&)> reaches = [&](const std::string& area) {
      if (!seen.insert(area).second) return false;
      const auto row = table.find(area);
      if (row == table.end()) return false;
      for (const auto& next : row->second) {
        if (next == start || reaches(next)) return true;
      }
      return false;
    };
    if (reaches(start)) onCycles.push_back(start);
  }
  return onCycles;
}

}  // namespace velmoradine::architecture
