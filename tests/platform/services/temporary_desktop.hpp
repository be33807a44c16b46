#pragma once

// A desktop of its own for one test: every XDG base directory, the home
// directory and the main bundle (whose Info.plist names a host application
// that may use the photo library) point into a scratch folder while the
// object lives, and no display is set, so nothing of the real desktop is
// read or touched.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/temporary_directory.hpp"

namespace velmoradine::testing {

class TemporaryDesktop {
 public:
  // The host application the main bundle's Info.plist describes.
  static constexpr const char* kBundleIdentifier = "com.example.host";

  TemporaryDesktop();

  const std::filesystem::path& root() const { return directory_.path(); }
  std::filesystem::path home() const { return root() / "home"; }
  std::filesystem::path configHome() const { return root() / "config"; }
  std::filesystem::path dataHome() const { return root() / "data"; }

  // Writes $XDG_CONFIG_HOME/user-dirs.dirs.
  void writeUserDirectories(const std::string& contents) const;
  // Writes the file `name` in the home directory; gives its path.
  std::filesystem::path writeFile(const std::string& name, const std::string& contents) const;

  // Writes $XDG_DATA_HOME/applications/<id>.
  void writeDesktopEntry(const std::string& id, const std::string& contents) const;
  // Writes $XDG_CONFIG_HOME/mimeapps.list.
  void writeMimeappsList(const std::string& contents) const;
  // Adds this "LSApplicationQueriesSchemes" to the main bundle's Info.plist.
  void declareQuerySchemes(const PropertyList& schemes) const;

  // An executable script that writes its process id to `recordName`.pid,
  // then its arguments, one a line, to the file `recordName` in the scratch
  // folder (whole, by renaming).
  std::filesystem::path writeRecordingScript(const std::string& name,
                                             const std::string& recordName) const;
  // The lines a recording script wrote, once the file exists (nothing when
  // it did not appear within the bound).
  std::optional<std::vector<std::string>> waitForRecord(const std::string& recordName) const;
  // Whether the script that wrote `recordName` has ended and been waited
  // for (within the bound).
  bool waitUntilRecorderIsReaped(const std::string& recordName) const;

 private:
  TemporaryDirectory directory_;
  TemporaryMainBundle bundle_;
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> environment_;
};

void writeText(const std::filesystem::path& path, const std::string& contents);

}  // namespace velmoradine::testing
