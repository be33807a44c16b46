#pragma once

// A rectangle of whole pixels.

namespace velmoradine {

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool isEmpty() const { return width <= 0 || height <= 0; }
  long area() const { return isEmpty() ? 0 : static_cast<long>(width) * height; }
  bool intersects(const PixelRect& other) const {
    return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
           other.y < y + height;
  }
  PixelRect unionWith(const PixelRect& other) const;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

inline PixelRect PixelRect::unionWith(const PixelRect& other) const {
  if (isEmpty()) return other;
  if (other.isEmpty()) return *this;
  int left = x < other.x ? x : other.x;
  int top = y < other.y ? y : other.y;
  int right = x + width > other.x + other.width ? x + width : other.x + other.width;
  int bottom = y + height > other.y + other.height ? y + height : other.y + other.height;
  return {left, top, right - left, bottom - top};
}

}  // namespace velmoradine
