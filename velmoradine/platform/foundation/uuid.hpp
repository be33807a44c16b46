#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmoradine {

// A universally unique identifier. Its text is the canonical 8-4-4-4-12 form
// in upper case, as the kit writes identifiers everywhere.
class UUID {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  // A new random (version 4) identifier.
  UUID();
  explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

  // Accepts the canonical form in either case.
  static std::optional<UUID> parse(std::string_view text);

  std::string uuidString() const;
  const Bytes& bytes() const { return bytes_; }

  friend bool operator==(const UUID&, const UUID&) = default;
  friend auto operator<=>(const UUID&, const UUID&) = default;

 private:
  Bytes bytes_{};
};

}  // namespace velmoradine
