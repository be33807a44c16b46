#include "server/favicon.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace velmoradine::devserver {

namespace {

constexpr int kSide = 32;
constexpr double kCornerRadius = 7;
// Samples per pixel along each axis, for smooth edges.
constexpr int kSamples = 4;
constexpr std::array<std::uint8_t, 3> kTile{0x6c, 0x5c, 0xe7};
struct Point {
  double x;
  double y;
};
constexpr std::array<Point, 3> kPlayMark{{{12.5, 9}, {12.5, 23}, {23.5, 16}}};

bool insideTile(Point p) {
  double cx = std::clamp(p.x, kCornerRadius, kSide - kCornerRadius);
  double cy = std::clamp(p.y, kCornerRadius, kSide - kCornerRadius);
  return std::hypot(p.x - cx, p.y - cy) <= kCornerRadius;
}

bool insidePlayMark(Point p) {
  auto side = [p](Point a, Point b) {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
  };
  double first = side(kPlayMark[0], kPlayMark[1]);
  double second = side(kPlayMark[1], kPlayMark[2]);
  double third = side(kPlayMark[2], kPlayMark[0]);
  return (first >= 0 && second >= 0 && third >= 0) || (first <= 0 && second <= 0 && third <= 0);
}

// The pixel at column x, row y (from the top), as B, G, R, A.
std::array<std::uint8_t, 4> pixel(int x, int y) {
  int tile = 0;
  int mark = 0;
  for (int sy = 0; sy < kSamples; ++sy) {
    for (int sx = 0; sx < kSamples; ++sx) {
      Point p{x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples};
      if (!insideTile(p)) continue;
      ++tile;
      if (insidePlayMark(p)) ++mark;
    }
  }
  if (tile == 0) return {0, 0, 0, 0};
  double white = static_cast<double>(mark) / tile;
  auto mix = [white](std::uint8_t value) {
    return static_cast<std::uint8_t>(std::lround(value + (255 - value) * white));
  };
  return {mix(kTile[2]), mix(kTile[1]), mix(kTile[0]),
          static_cast<std::uint8_t>(tile * 255 / (kSamples * kSamples))};
}

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

std::string drawIco() {
  constexpr std::uint32_t kHeaderBytes = 6 + 16;
  constexpr std::uint32_t kInfoBytes = 40;
  constexpr std::uint32_t kPixelBytes = kSide * kSide * 4;
  // One bit a pixel, rows padded to four bytes; all clear, the alpha rules.
  constexpr std::uint32_t kMaskBytes = kSide * 4;
  std::string ico;
  appendLittleEndian(ico, 0, 2);
  appendLittleEndian(ico, 1, 2);
  appendLittleEndian(ico, 1, 2);
  appendLittleEndian(ico, kSide, 1);
  appendLittleEndian(ico, kSide, 1);
  appendLittleEndian(ico, 0, 2);
  appendLittleEndian(ico, 1, 2);
  appendLittleEndian(ico, 32, 2);
  appendLittleEndian(ico, kInfoBytes + kPixelBytes + kMaskBytes, 4);
  appendLittleEndian(ico, kHeaderBytes, 4);
  // The bitmap's header counts the mask's rows in its height.
  for (std::uint32_t value : {kInfoBytes, std::uint32_t{kSide}, std::uint32_t{2 * kSide}}) {
    appendLittleEndian(ico, value, 4);
  }
  appendLittleEndian(ico, 1, 2);
  appendLittleEndian(ico, 32, 2);
  for (std::uint32_t value : {0u, kPixelBytes + kMaskBytes, 0u, 0u, 0u, 0u}) {
    appendLittleEndian(ico, value, 4);
  }
  for (int y = kSide - 1; y >= 0; --y) {
    for (int x = 0; x < kSide; ++x) {
      for (std::uint8_t value : pixel(x, y)) ico += static_cast<char>(value);
    }
  }
  ico.append(kMaskBytes, '\0');
  return ico;
}

}  // namespace

const std::string& faviconIco() {
  static const std::string ico = drawIco();
  return ico;
}

}  // namespace velmoradine::devserver
