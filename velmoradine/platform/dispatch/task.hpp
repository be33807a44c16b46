#pragma once

#include <functional>

namespace velmoradine {

// A unit of work handed to a queue or run loop. Move-only, so completions may
// own what they need (buffers, promises) without sharing it.
using Task = std::move_only_function<void()>;

}  // namespace velmoradine
