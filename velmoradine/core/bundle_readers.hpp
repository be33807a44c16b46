#pragma once

// Values the kit reads from the host's Info.plist. A missing key or a value
// of another type reads as nothing; each consumer decides what that means.

#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine {

std::optional<std::string> releaseVersionNumber(const Bundle& bundle = Bundle::main());
std::optional<std::string> buildVersionNumber(const Bundle& bundle = Bundle::main());
// The API key.
std::optional<std::string> velmoradineClientId(const Bundle& bundle = Bundle::main());
// Empty unless the key holds a list of texts only.
std::vector<std::string> applicationQuerySchemes(const Bundle& bundle = Bundle::main());

// The deployment's service addresses: the host's "VelmoradineAPIBaseURL" and
// "VelmoradineEventsURL", else the build-time defaults.
std::string velmoradineAPIBaseURL(const Bundle& bundle = Bundle::main());
std::string velmoradineEventsURL(const Bundle& bundle = Bundle::main());

}  // namespace velmoradine
