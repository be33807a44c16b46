#pragma once

#include <cstdint>
#include <vector>

namespace velmoradine {

// A buffer of bytes: file contents, request and response bodies.
using Data = std::vector<std::uint8_t>;

}  // namespace velmoradine
