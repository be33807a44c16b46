#pragma once

#include <string_view>

namespace velmoradine {

// Stops the process after writing `message` to standard error. Reserved for
// packaging and programming errors (a missing asset bundle, an abstract
// operation that was not overridden); every other failure is a value.
[[noreturn]] void fatalError(std::string_view message);

}  // namespace velmoradine
