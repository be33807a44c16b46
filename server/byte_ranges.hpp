#pragma once

// The Range header of a request for a file: parsed as HTTP defines it, fitted
// to the file, and reduced to a few parts that never add up to much more
// than the file itself.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velmoradine::devserver {

// A Range header listing more ranges than this is ignored: the whole file
// is sent instead.
inline constexpr std::size_t kMaxRequestedRanges = 64;
// After merging, more parts than this are not worth a multipart reply.
inline constexpr std::size_t kMaxRangeParts = 8;
// Ranges closer than this are merged: the gap costs less than a part's
// own headers.
inline constexpr std::uint64_t kRangeMergeGap = 80;

// A range of bytes, both ends included.
struct ByteRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t length() const { return last - first + 1; }
  bool operator==(const ByteRange&) const = default;
};

struct RangePlan {
  enum class Kind { whole, parts, unsatisfiable };
  Kind kind = Kind::whole;
  // Ascending, disjoint, within the file; set for `parts`.
  std::vector<ByteRange> parts;
};

// What to send for `header` (the Range field's value) and a file of `size`
// bytes: the whole file when the header does not parse or asks for too
// many pieces, the satisfiable ranges merged, or nothing when none is.
RangePlan planRanges(std::string_view header, std::uint64_t size);

}  // namespace velmoradine::devserver
