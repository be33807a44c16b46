#pragma once

// Values the kit reads from the host's Info.plist. A missing key or a value
// of another type reads as nothing, and each consumer decides what that
// means, except for the service addresses (below).

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
// "VelmoradineEventsURL", else the build-time defaults. A key that is present
// but holds anything other than an absolute http(s) URL in text (empty,
// relative, with control characters, another scheme, another type) is a
// configuration error naming the key: the host's key must never go to a
// backend the host did not choose.
Result<std::string> velmoradineAPIBaseURL(const Bundle& bundle = Bundle::main());
Result<std::string> velmoradineEventsURL(const Bundle& bundle = Bundle::main());

enum class ConfigurationError { invalidServiceAddress = 1 };
const ErrorCategory& configurationErrorCategory();
std::error_code make_error_code(ConfigurationError error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::ConfigurationError> : std::true_type {};
