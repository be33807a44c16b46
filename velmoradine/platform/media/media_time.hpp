#pragma once

// Media time as a rational number (a value counted in units of 1/timescale
// seconds), with the flags and arithmetic of Core Media's times: an invalid
// time, the infinities and the indefinite time; exact comparison across
// timescales; addition and subtraction that keep exactness when they can.

#include <compare>
#include <cstdint>
#include <string>

namespace velmoradine {

enum class MediaTimeRoundingMethod {
  roundHalfAwayFromZero,
  roundTowardZero,
  roundAwayFromZero,
  roundTowardNegativeInfinity,
  roundTowardPositiveInfinity,
};

class MediaTime {
 public:
  using Value = std::int64_t;
  using Timescale = std::int32_t;
  static constexpr Timescale kMaxTimescale = 0x7fffffff;

  // The invalid time.
  constexpr MediaTime() = default;
  // value/timescale seconds; a timescale of zero or below gives the invalid time.
  constexpr MediaTime(Value value, Timescale timescale)
      : value_(value), timescale_(timescale), kind_(timescale > 0 ? Kind::numeric : Kind::invalid) {
    if (kind_ == Kind::invalid) value_ = 0, timescale_ = 0;
  }

  static constexpr MediaTime invalid() { return MediaTime(); }
  static constexpr MediaTime zero() { return MediaTime(0, 1); }
  static MediaTime positiveInfinity();
  static MediaTime negativeInfinity();
  static MediaTime indefinite();
  // The time nearest to `seconds` in `preferredTimescale` (half away from zero).
  static MediaTime withSeconds(double seconds, Timescale preferredTimescale);

  Value value() const { return value_; }
  Timescale timescale() const { return timescale_; }
  bool isValid() const { return kind_ != Kind::invalid; }
  bool isNumeric() const { return kind_ == Kind::numeric; }
  bool isPositiveInfinity() const { return kind_ == Kind::positiveInfinity; }
  bool isNegativeInfinity() const { return kind_ == Kind::negativeInfinity; }
  bool isIndefinite() const { return kind_ == Kind::indefinite; }
  double seconds() const;

  // The same time counted in `timescale` units, rounded as asked. Non-numeric
  // times are returned unchanged; an invalid timescale gives the invalid time.
  MediaTime convertScale(
      Timescale timescale,
      MediaTimeRoundingMethod method = MediaTimeRoundingMethod::roundHalfAwayFromZero) const;

  // Invalid times equal each other and order after every valid time;
  // -infinity < numeric < +infinity < indefinite.
  friend std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b);
  friend bool operator==(const MediaTime& a, const MediaTime& b) {
    return (a <=> b) == std::strong_ordering::equal;
  }

  // An invalid operand gives the invalid time; opposite infinities give the
  // invalid time; an infinity wins over a numeric time. Numeric results use
  // the least common multiple of the timescales when it fits, else the larger
  // timescale with rounding.
  friend MediaTime operator+(const MediaTime& a, const MediaTime& b);
  friend MediaTime operator-(const MediaTime& a, const MediaTime& b);
  MediaTime& operator+=(const MediaTime& other) { return *this = *this + other; }
  // The time multiplied by an integer, exactly when it fits.
  MediaTime operator*(std::int64_t factor) const;

  // "{value/timescale = seconds}", or "{INVALID}", "{+INFINITY}" and the like.
  std::string description() const;

 private:
  enum class Kind : std::uint8_t {
    invalid,
    numeric,
    positiveInfinity,
    negativeInfinity,
    indefinite
  };
  static MediaTime special(Kind kind);

  Value value_ = 0;
  Timescale timescale_ = 0;
  Kind kind_ = Kind::invalid;
};

MediaTime minimum(const MediaTime& a, const MediaTime& b);
MediaTime maximum(const MediaTime& a, const MediaTime& b);

// A span of media time: [start, start + duration).
struct TimeRange {
  MediaTime start;
  MediaTime duration;

  constexpr TimeRange() = default;
  TimeRange(MediaTime start, MediaTime duration) : start(start), duration(duration) {}
  static TimeRange fromStartToEnd(MediaTime start, MediaTime end) { return {start, end - start}; }
  static TimeRange zero() { return {MediaTime::zero(), MediaTime::zero()}; }
  static TimeRange invalid() { return {}; }

  // Valid when start and duration are valid and the duration is not negative.
  bool isValid() const;
  bool isEmpty() const { return isValid() && duration == MediaTime::zero(); }
  MediaTime end() const { return start + duration; }
  bool containsTime(const MediaTime& time) const;
  bool containsTimeRange(const TimeRange& other) const;
  // The overlap of two ranges; an empty range at the later start when they do not meet.
  TimeRange intersection(const TimeRange& other) const;

  friend bool operator==(const TimeRange& a, const TimeRange& b) {
    return a.start == b.start && a.duration == b.duration;
  }
};

}  // namespace velmoradine
