#pragma once

// Why a desktop service could not hand something to an application.

#include <system_error>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

enum class DesktopServicesError {
  // The detail names the MIME type or application looked for.
  noApplication = 1,
  // The detail names the entry and what is wrong with it.
  invalidDesktopEntry,
  // The detail names the program and the system's reason.
  launchFailed,
};

const ErrorCategory& desktopServicesErrorCategory();
std::error_code make_error_code(DesktopServicesError error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::DesktopServicesError> : std::true_type {};
