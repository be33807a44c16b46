#include "tests/platform/services/temporary_desktop.hpp"

#include <fstream>
#include <sstream>

#include "tests/support/wait.hpp"

namespace velmoradine::testing {

void writeText(const std::filesystem::path& path, const std::string& contents) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

namespace {

PropertyList::Dictionary hostInfo() {
  return {{"CFBundleIdentifier", TemporaryDesktop::kBundleIdentifier},
          {"CFBundleName", "Example"},
          {"NSPhotoLibraryUsageDescription", "To save your videos"}};
}

}  // namespace

TemporaryDesktop::TemporaryDesktop() {
  const std::vector<std::pair<std::string, std::filesystem::path>> directories = {
      {"HOME", home()},
      {"XDG_CONFIG_HOME", configHome()},
      {"XDG_DATA_HOME", dataHome()},
      {"XDG_CONFIG_DIRS", root() / "etc-xdg"},
      {"XDG_DATA_DIRS", root() / "share"}};
  for (const auto& [name, path] : directories) {
    std::filesystem::create_directories(path);
    environment_.push_back(std::make_unique<ScopedEnvironmentVariable>(name, path.string()));
  }
  for (const char* name : {"XDG_CURRENT_DESKTOP", "WAYLAND_DISPLAY", "DISPLAY"}) {
    environment_.push_back(std::make_unique<ScopedEnvironmentVariable>(name, ""));
  }
  bundle_.writeInfoPlist(hostInfo());
}

void TemporaryDesktop::writeUserDirectories(const std::string& contents) const {
  writeText(configHome() / "user-dirs.dirs", contents);
}

std::filesystem::path TemporaryDesktop::writeFile(const std::string& name,
                                                  const std::string& contents) const {
  const auto path = home() / name;
  writeText(path, contents);
  return path;
}

void TemporaryDesktop::writeDesktopEntry(const std::string& id, const std::string& contents) const {
  writeText(dataHome() / "applications" / id, contents);
}

void TemporaryDesktop::writeMimeappsList(const std::string& contents) const {
  writeText(configHome() / "mimeapps.list", contents);
}

void TemporaryDesktop::declareQuerySchemes(const PropertyList& schemes) const {
  auto info = hostInfo();
  info.insert_or_assign("LSApplicationQueriesSchemes", schemes);
  bundle_.writeInfoPlist(info);
}

std::filesystem::path TemporaryDesktop::writeRecordingScript(const std::string& name,
                                                             const std::string& recordName) const {
  const auto script = root() / name;
  const auto record = root() / recordName;
  writeText(script, "#!/bin/sh\necho $$ > '" + record.string() +
                        ".pid'\nprintf '%s\\n' \"$@\" > '" + record.string() + ".part' && mv '" +
                        record.string() + ".part' '" + record.string() + "'\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

std::optional<std::vector<std::string>> TemporaryDesktop::waitForRecord(
    const std::string& recordName) const {
  const auto record = root() / recordName;
  if (!waitUntil([&] { return std::filesystem::exists(record); })) return std::nullopt;
  std::ifstream file(record);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

bool TemporaryDesktop::waitUntilRecorderIsReaped(const std::string& recordName) const {
  std::ifstream file(root() / (recordName + ".pid"));
  std::string pid;
  if (!(file >> pid)) return false;
  // A zombie keeps its /proc entry until its parent waits for it.
  return waitUntil([&] { return !std::filesystem::exists("/proc/" + pid); });
}

}  // namespace velmoradine::testing
