#pragma once

// The page a share's public link opens, and the bare player other sites
// embed. Both show the video at its own aspect ratio; the page carries the
// Open Graph, card and oEmbed tags that link previews read, and the
// application's colours and call to action. Pure functions, safe from any thread.

#include <string>
#include <string_view>

#include "server/database.hpp"

namespace velmoradine::devserver {

// The link page of `share` under the base address `base`.
std::string linkPage(const PublicShare& share, std::string_view base);

// The embeddable player: only the video, filling its frame.
std::string embedPage(const PublicShare& share, std::string_view base);

}  // namespace velmoradine::devserver
