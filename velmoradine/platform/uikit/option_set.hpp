#pragma once

// The toolkit's bit-flag enumerations (control events, animation options)
// combine with `|` and are tested with `contains` and `intersects`. An
// enumeration opts in by specialising `kIsOptionSet` right after it.

#include <type_traits>

namespace velmoradine {

template <typename E>
inline constexpr bool kIsOptionSet = false;

template <typename E>
concept OptionSet = std::is_enum_v<E> && kIsOptionSet<E>;

template <OptionSet E>
constexpr E operator|(E a, E b) {
  using Bits = std::underlying_type_t<E>;
  return static_cast<E>(static_cast<Bits>(a) | static_cast<Bits>(b));
}

// Every option of `options` is in `set`.
template <OptionSet E>
constexpr bool contains(E set, E options) {
  using Bits = std::underlying_type_t<E>;
  return (static_cast<Bits>(set) & static_cast<Bits>(options)) == static_cast<Bits>(options);
}

// The two share at least one option.
template <OptionSet E>
constexpr bool intersects(E a, E b) {
  using Bits = std::underlying_type_t<E>;
  return (static_cast<Bits>(a) & static_cast<Bits>(b)) != 0;
}

}  // namespace velmoradine
