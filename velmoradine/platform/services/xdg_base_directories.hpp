#pragma once

// The XDG base directories, read afresh from the environment on every call so
// that a test (or a host) that changes the variables sees the change. Unset,
// empty or relative values fall back to the defaults of the XDG rules:
// ~/.config, /etc/xdg, ~/.local/share and /usr/local/share:/usr/share. The
// home directory and $XDG_CONFIG_HOME are file_locations' (homeDirectory,
// userConfigurationHome).
//
// Threading: callable from any thread (the environment must not be changed
// meanwhile).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velmoradine::xdg {

// The names of the XDG world (desktops, MIME types, URL schemes) compare
// without regard to ASCII case.
std::string asciiLowercased(std::string_view text);

std::vector<std::filesystem::path> configDirs();
std::filesystem::path dataHome();
std::vector<std::filesystem::path> dataDirs();

// The home directory first, then the system ones: the order in which a
// file of the same name wins.
std::vector<std::filesystem::path> configSearchPath();
std::vector<std::filesystem::path> dataSearchPath();

// The names the current desktop goes by ($XDG_CURRENT_DESKTOP), lower case.
std::vector<std::string> currentDesktops();

}  // namespace velmoradine::xdg
