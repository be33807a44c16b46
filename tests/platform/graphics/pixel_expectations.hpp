#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "velmoradine/platform/graphics/bitmap.hpp"

namespace velmoradine::testing {

// Whether the pixel at (x, y) has the colour `expected` (straight alpha),
// each component within `tolerance` (0…1).
inline ::testing::AssertionResult pixelIs(const Bitmap& bitmap, int x, int y, Color expected,
                                          double tolerance = 0.03) {
  Color actual = bitmap.colorAt(x, y);
  auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
  bool same = near(actual.alpha, expected.alpha) &&
              (expected.alpha == 0 ||
               (near(actual.red, expected.red) && near(actual.green, expected.green) &&
                near(actual.blue, expected.blue)));
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << x << ", " << y << ") is " << actual.hexString() << ", expected "
         << expected.hexString();
}

inline Color red() {
  return Color::rgba(1, 0, 0);
}
inline Color green() {
  return Color::rgba(0, 1, 0);
}
inline Color blue() {
  return Color::rgba(0, 0, 1);
}

}  // namespace velmoradine::testing
