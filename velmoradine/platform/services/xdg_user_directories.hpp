#pragma once

// The user's named folders as the desktop records them in
// $XDG_CONFIG_HOME/user-dirs.dirs, in lines such as
//   XDG_VIDEOS_DIR="$HOME/Videos"
// (a path relative to $HOME, or an absolute one).
//
// Threading: callable from any thread; reads the environment and the file
// on every call.

#include <filesystem>
#include <optional>
#include <string_view>

namespace velmoradine::xdg_user_directories {

// XDG_VIDEOS_DIR, else ~/Videos (also when the entry is neither absolute nor
// under $HOME, which the desktop's own tools ignore as well).
std::filesystem::path videosDirectory();

// The folder that the line for `key` names in the text of a user-dirs.dirs
// file, with a leading "$HOME" replaced by `home`; nothing when the key is
// missing or its value is unusable.
std::optional<std::filesystem::path> parseEntry(std::string_view contents, std::string_view key,
                                                const std::filesystem::path& home);

}  // namespace velmoradine::xdg_user_directories
