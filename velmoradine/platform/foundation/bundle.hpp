#pragma once

// A bundle is a directory of resources with an optional "Info.plist" (its
// information dictionary) and "Localizable.strings" (its string table).
//
// The main bundle is the host application's: the directory named by
// $VELMORADINE_MAIN_BUNDLE, else the directory of the running executable.
// The module bundle is the kit's own "Velmoradine_VelmoradineAssets.bundle".

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/property_list.hpp"
#include "velmoradine/platform/foundation/string_table.hpp"

namespace velmoradine {

class Bundle {
 public:
  // The bundle at `path`, when it is a directory.
  static std::optional<Bundle> open(const std::filesystem::path& path);

  // The host application's bundle. Resolved afresh from the environment on
  // every call (cheap); its files are read once per resolved directory.
  static Bundle main();

  // The kit's asset bundle, found on first use by trying, in order, the main
  // bundle's resource directory, the directory of the kit's own code and the
  // main bundle's directory; each try writes a "BundlePath: " line. Stops the
  // process when none has the bundle. Thread-safe; the lookup runs once.
  static Bundle module();
  static void setModule(Bundle bundle);
  // The lookup itself over explicit candidates (an absent candidate is
  // reported as "nil"): the first that holds the asset bundle wins.
  static Bundle findModule(const std::vector<std::optional<std::filesystem::path>>& candidates);

  const std::filesystem::path& bundlePath() const;
  // Resources sit at the top of a bundle, as on a phone.
  const std::filesystem::path& resourcePath() const;

  // The parsed "Info.plist"; an empty dictionary when it is missing or not a
  // property list.
  const PropertyList& infoDictionary() const;
  std::optional<std::string> bundleIdentifier() const;
  std::string localizedString(std::string_view key) const;

  // The path of resource `name` with extension `extension` when the file exists.
  std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                       std::string_view extension) const;

 private:
  struct State;
  explicit Bundle(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

// The directory of the running executable.
std::filesystem::path executableDirectory();
// The directory of the binary (executable or shared library) that contains
// the kit's code.
std::filesystem::path kitCodeDirectory();

}  // namespace velmoradine
