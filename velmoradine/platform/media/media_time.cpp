#include "velmoradine/platform/media/media_time.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace velmoradine {
namespace {

__extension__ typedef __int128 Wide;

// Divides with the asked rounding; `denominator` is positive.
Wide divideRounded(Wide numerator, Wide denominator, MediaTimeRoundingMethod method) {
  Wide quotient = numerator / denominator;
  Wide remainder = numerator % denominator;
  if (remainder == 0) return quotient;
  const bool negative = numerator < 0;
  switch (method) {
    case MediaTimeRoundingMethod::roundTowardZero:
      return quotient;
    case MediaTimeRoundingMethod::roundAwayFromZero:
      return negative ? quotient - 1 : quotient + 1;
    case MediaTimeRoundingMethod::roundTowardNegativeInfinity:
      return negative ? quotient - 1 : quotient;
    case MediaTimeRoundingMethod::roundTowardPositiveInfinity:
      return negative ? quotient : quotient + 1;
    case MediaTimeRoundingMethod::roundHalfAwayFromZero: {
      Wide twice = (remainder < 0 ? -remainder : remainder) * 2;
      if (twice >= denominator) return negative ? quotient - 1 : quotient + 1;
      return quotient;
    }
  }
  return quotient;
}

bool fitsValue(Wide value) {
  return value >= std::numeric_limits<MediaTime::Value>::min() &&
         value <= std::numeric_limits<MediaTime::Value>::max();
}

int rank(const MediaTime& time) {
  if (time.isNegativeInfinity()) return 0;
  if (time.isNumeric()) return 1;
  if (time.isPositiveInfinity()) return 2;
  if (time.isIndefinite()) return 3;
  return 4;
}

}  // namespace

MediaTime MediaTime::special(Kind kind) {
  MediaTime time;
  time.kind_ = kind;
  return time;
}

MediaTime MediaTime::positiveInfinity() {
  return special(Kind::positiveInfinity);
}
MediaTime MediaTime::negativeInfinity() {
  return special(Kind::negativeInfinity);
}
MediaTime MediaTime::indefinite() {
  return special(Kind::indefinite);
}

MediaTime MediaTime::withSeconds(double seconds, Timescale preferredTimescale) {
  if (std::isnan(seconds) || preferredTimescale <= 0) return invalid();
  if (std::isinf(seconds)) return seconds > 0 ? positiveInfinity() : negativeInfinity();
  const double scaled = std::round(seconds * preferredTimescale);
  if (scaled >= 9.2e18 || scaled <= -9.2e18)
    return seconds > 0 ? positiveInfinity() : negativeInfinity();
  return MediaTime(static_cast<Value>(scaled), preferredTimescale);
}

double MediaTime::seconds() const {
  switch (kind_) {
    case Kind::numeric:
      return static_cast<double>(value_) / timescale_;
    case Kind::positiveInfinity:
      return std::numeric_limits<double>::infinity();
    case Kind::negativeInfinity:
      return -std::numeric_limits<double>::infinity();
    default:
      return std::numeric_limits<double>::quiet_NaN();
  }
}

MediaTime MediaTime::convertScale(Timescale timescale, MediaTimeRoundingMethod method) const {
  if (timescale <= 0) return invalid();
  if (!isNumeric()) return *this;
  if (timescale == timescale_) return *this;
  Wide converted = divideRounded(Wide(value_) * timescale, timescale_, method);
  if (!fitsValue(converted)) return converted > 0 ? positiveInfinity() : negativeInfinity();
  return MediaTime(static_cast<Value>(converted), timescale);
}

std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b) {
  const int rankA = rank(a), rankB = rank(b);
  if (rankA != rankB || rankA != 1) return rankA <=> rankB;
  const Wide left = Wide(a.value_) * b.timescale_;
  const Wide right = Wide(b.value_) * a.timescale_;
  if (left < right) return std::strong_ordering::less;
  if (left > right) return std::strong_ordering::greater;
  return std::strong_ordering::equal;
}

namespace {

MediaTime combine(const MediaTime& a, const MediaTime& b, int sign) {
  if (!a.isValid() || !b.isValid()) return MediaTime::invalid();
  if (a.isIndefinite() || b.isIndefinite()) return MediaTime::indefinite();
  const bool aInfinite = !a.isNumeric(), bInfinite = !b.isNumeric();
  if (aInfinite || bInfinite) {
    const int aSign = !aInfinite ? 0 : (a.isPositiveInfinity() ? 1 : -1);
    const int bSign = !bInfinite ? 0 : (b.isPositiveInfinity() ? sign : -sign);
    if (aSign != 0 && bSign != 0 && aSign != bSign) return MediaTime::invalid();
    const int result = aSign != 0 ? aSign : bSign;
    return result > 0 ? MediaTime::positiveInfinity() : MediaTime::negativeInfinity();
  }
  if (a.timescale() == b.timescale()) {
    Wide sum = Wide(a.value()) + sign * Wide(b.value());
    if (!fitsValue(sum))
      return sum > 0 ? MediaTime::positiveInfinity() : MediaTime::negativeInfinity();
    return MediaTime(static_cast<MediaTime::Value>(sum), a.timescale());
  }
  const std::int64_t lcm = std::lcm<std::int64_t>(a.timescale(), b.timescale());
  MediaTime::Timescale timescale = lcm <= MediaTime::kMaxTimescale
                                       ? static_cast<MediaTime::Timescale>(lcm)
                                       : std::max(a.timescale(), b.timescale());
  const Wide left = divideRounded(Wide(a.value()) * timescale, a.timescale(),
                                  MediaTimeRoundingMethod::roundHalfAwayFromZero);
  const Wide right = divideRounded(Wide(b.value()) * timescale, b.timescale(),
                                   MediaTimeRoundingMethod::roundHalfAwayFromZero);
  Wide sum = left + sign * right;
  if (!fitsValue(sum))
    return sum > 0 ? MediaTime::positiveInfinity() : MediaTime::negativeInfinity();
  return MediaTime(static_cast<MediaTime::Value>(sum), timescale);
}

}  // namespace

MediaTime operator+(const MediaTime& a, const MediaTime& b) {
  return combine(a, b, 1);
}
MediaTime operator-(const MediaTime& a, const MediaTime& b) {
  return combine(a, b, -1);
}

MediaTime MediaTime::operator*(std::int64_t factor) const {
  if (!isValid() || isIndefinite()) return *this;
  if (!isNumeric()) {
    if (factor == 0) return invalid();
    return (factor > 0) == isPositiveInfinity() ? positiveInfinity() : negativeInfinity();
  }
  Wide product = Wide(value_) * factor;
  if (!fitsValue(product)) return product > 0 ? positiveInfinity() : negativeInfinity();
  return MediaTime(static_cast<Value>(product), timescale_);
}

std::string MediaTime::description() const {
  switch (kind_) {
    case Kind::invalid:
      return "{INVALID}";
    case Kind::positiveInfinity:
      return "{+INFINITY}";
    case Kind::negativeInfinity:
      return "{-INFINITY}";
    case Kind::indefinite:
      return "{INDEFINITE}";
    case Kind::numeric:
      break;
  }
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.3f", this->seconds());
  return "{" + std::to_string(value_) + "/" + std::to_string(timescale_) + " = " + seconds + "}";
}

MediaTime minimum(const MediaTime& a, const MediaTime& b) {
  return b < a ? b : a;
}
MediaTime maximum(const MediaTime& a, const MediaTime& b) {
  return b > a ? b : a;
}

bool TimeRange::isValid() const {
  return start.isValid() && duration.isValid() && !duration.isIndefinite() &&
         !(duration < MediaTime::zero()) && !start.isIndefinite();
}

bool TimeRange::containsTime(const MediaTime& time) const {
  return isValid() && time.isValid() && !(time < start) && time < end();
}

bool TimeRange::containsTimeRange(const TimeRange& other) const {
  return isValid() && other.isValid() && !(other.start < start) && !(end() < other.end());
}

TimeRange TimeRange::intersection(const TimeRange& other) const {
  if (!isValid() || !other.isValid()) return invalid();
  const MediaTime begin = maximum(start, other.start);
  const MediaTime finish = minimum(end(), other.end());
  if (finish < begin) return {begin, MediaTime::zero()};
  return fromStartToEnd(begin, finish);
}

}  // namespace velmoradine
