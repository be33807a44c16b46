#pragma once

// The site icon (/favicon.ico): a play mark drawn by this code into a 32×32
// ICO, so browsers asking for it get an icon instead of a 404.

#include <string>

namespace velmoradine::devserver {

// The ICO file's bytes; drawn on first use, then shared. Safe from any thread.
const std::string& faviconIco();

}  // namespace velmoradine::devserver
