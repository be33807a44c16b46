#pragma once

// Bounds-checked element access: nothing instead of undefined behaviour when
// the index is outside the collection.

#include <cstddef>
#include <iterator>
#include <optional>

namespace velmoradine {

template <typename Collection>
auto safeAt(const Collection& collection, std::ptrdiff_t index)
    -> std::optional<std::remove_cvref_t<decltype(*std::begin(collection))>> {
  if (index < 0 || index >= static_cast<std::ptrdiff_t>(std::size(collection))) {
    return std::nullopt;
  }
  return *std::next(std::begin(collection), index);
}

}  // namespace velmoradine
