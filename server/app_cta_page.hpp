#pragma once

// The call-to-action page of an application (/app-cta?ref=SLUG), in the
// application's colours. Pure function, safe from any thread.

#include <string>
#include <string_view>

#include "server/database.hpp"

namespace velmoradine::devserver {

std::string appCtaPage(const Application& application, std::string_view base);

}  // namespace velmoradine::devserver
