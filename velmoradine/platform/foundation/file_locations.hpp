#pragma once

// Where the kit keeps files, following the XDG base directories: caches under
// $XDG_CACHE_HOME/<bundle id>, documents under $XDG_DATA_HOME/<bundle id>,
// settings under $XDG_CONFIG_HOME/<bundle id>, temporary files in the
// system's temporary directory. The bundle id is the
// main bundle's "CFBundleIdentifier", else the executable's name.

#include <filesystem>

namespace velmoradine::file_locations {

std::filesystem::path cachesDirectory();
std::filesystem::path documentsDirectory();
std::filesystem::path configurationDirectory();
// $XDG_CONFIG_HOME, else ~/.config: where desktop-wide settings live.
std::filesystem::path userConfigurationHome();
// $HOME, else the temporary directory.
std::filesystem::path homeDirectory();
std::filesystem::path temporaryDirectory();

}  // namespace velmoradine::file_locations
