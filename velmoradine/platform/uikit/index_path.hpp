#pragma once

// The position of an item in a collection view: its section and its index
// within the section (`item`, also read as `row`).

#include <compare>

namespace velmoradine {

struct IndexPath {
  int item = 0;
  int section = 0;

  int row() const { return item; }
  friend bool operator==(const IndexPath&, const IndexPath&) = default;
  friend auto operator<=>(const IndexPath& a, const IndexPath& b) {
    if (auto order = a.section <=> b.section; order != 0) return order;
    return a.item <=> b.item;
  }
};

}  // namespace velmoradine
