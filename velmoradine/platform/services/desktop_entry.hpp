#pragma once

// An application's .desktop entry (the [Desktop Entry] group) and the
// command lines its Exec key gives for a set of files or URLs.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

struct DesktopEntry {
  // The desktop file ID: the path below an "applications" directory with
  // "/" written as "-" ("kde-foo.desktop").
  std::string id;
  std::filesystem::path path;
  std::string type;
  // In the user's language (Name[ll_CC], Name[ll]) where the entry has it.
  std::string name;
  // With the general string escapes undone; quoting and field codes remain.
  std::string exec;
  std::string icon;
  std::string tryExec;
  std::vector<std::string> mimeTypes;
  bool noDisplay = false;
  bool hidden = false;

  bool handles(std::string_view mimeType) const;
};

// Fails (invalidDesktopEntry) without a [Desktop Entry] group.
Result<DesktopEntry> parseDesktopEntry(std::string_view text, std::string id,
                                       std::filesystem::path path);
Result<DesktopEntry> readDesktopEntry(const std::filesystem::path& path, std::string id);

// An entry that may be started: an Application with an Exec key, not Hidden,
// whose TryExec (when given) names an executable file, directly or on PATH.
bool isLaunchable(const DesktopEntry& entry);

// The command lines (program first) that open `uris` with the entry, by the
// Exec rules: arguments split at spaces, "..." quoting (where a backslash
// escapes ", `, $ and itself), and the field codes %f %F %u %U %i %c %k %% expanded outside
// quotes (inside quotes they stay as written, so a URL never becomes part of
// a shell script). %f and %u take one item: one command line per item. %f
// and %F give local paths for file URLs. Without any of the four, the items
// are appended, as xdg-open does. Deprecated codes are dropped. Fails
// (invalidDesktopEntry) on an unterminated quote, an unknown field code, %F,
// %U or %i inside a longer argument, or a field code in the program name.
Result<std::vector<std::vector<std::string>>> commandLines(const DesktopEntry& entry,
                                                           const std::vector<std::string>& uris);

// The executable `program` names: itself when it holds a "/", else the first
// match on $PATH.
std::optional<std::filesystem::path> findExecutable(std::string_view program);

}  // namespace velmoradine
