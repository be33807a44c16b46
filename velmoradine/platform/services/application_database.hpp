#pragma once

// The desktop's applications and their MIME associations, as the XDG rules
// define them: .desktop entries in the "applications" directories of the data
// search path (the first of an ID wins, so a user's Hidden entry removes a
// system one), and the mimeapps.list files, in the order of precedence:
// $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME/applications,
// $XDG_DATA_DIRS/applications, each "<desktop>-mimeapps.list" (for every
// name in $XDG_CURRENT_DESKTOP) before "mimeapps.list".
//
// A database is one reading of the environment and the directory listing,
// made at construction; entries are read when asked for, so installs and
// removals since then are seen by the next query only as far as the files
// go. Threading: a database is used by one thread at a time; make one per
// query.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velmoradine/platform/services/desktop_entry.hpp"
#include "velmoradine/platform/services/key_file.hpp"

namespace velmoradine {

class ApplicationDatabase {
 public:
  ApplicationDatabase();

  // The launchable entry (see `isLaunchable`) with this desktop file ID.
  std::optional<DesktopEntry> entry(std::string_view id) const;

  // The default application for the type, as `xdg-mime query default`
  // answers it: the first launchable entry that a [Default Applications]
  // list names, file by file in precedence order; failing that, the most
  // preferred of `applicationsFor`.
  std::optional<DesktopEntry> defaultApplication(std::string_view mimeType) const;

  // The launchable applications for the type, most preferred first: each
  // file's [Default Applications] then [Added Associations] entries, minus
  // what a file of higher precedence put under [Removed Associations]; then
  // the entries whose MimeType lists the type, minus every removal.
  std::vector<DesktopEntry> applicationsFor(std::string_view mimeType) const;

  // The mimeapps.list files that are consulted, in precedence order (whether
  // they exist or not).
  static std::vector<std::filesystem::path> mimeappsListPaths();

 private:
  struct AssociationList {
    KeyFile file;
    // Desktop-specific lists may only name defaults.
    bool desktopSpecific = false;
  };

  void scanApplications(const std::filesystem::path& directory);
  void readAssociationLists();

  std::vector<std::string> installedIds_;  // in precedence order
  std::map<std::string, std::filesystem::path, std::less<>> pathsById_;
  std::vector<AssociationList> lists_;
};

}  // namespace velmoradine
