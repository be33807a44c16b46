#pragma once

// A flow layout: items of one size placed in lines along the scroll
// direction. Scrolling horizontally, a line is a column: items fill it from
// the top, spaced evenly between the section insets (a column with room for
// one item only centres it), and columns follow each other
// `minimumLineSpacing` apart. Scrolling vertically it is the same turned a
// quarter. Sections follow each other along the scroll direction.

#include <vector>

#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/uikit/index_path.hpp"
#include "velmoradine/platform/uikit/ui_edge_insets.hpp"

namespace velmoradine {

enum class UICollectionViewScrollDirection { vertical, horizontal };

struct UICollectionViewLayoutAttributes {
  IndexPath indexPath;
  Rect frame;  // in the content's coordinates
  friend bool operator==(const UICollectionViewLayoutAttributes&,
                         const UICollectionViewLayoutAttributes&) = default;
};

class UICollectionViewFlowLayout {
 public:
  struct Result {
    std::vector<UICollectionViewLayoutAttributes> items;
    Size contentSize;
  };

  UICollectionViewScrollDirection scrollDirection = UICollectionViewScrollDirection::vertical;
  Size itemSize{50, 50};
  double minimumLineSpacing = 10;
  double minimumInteritemSpacing = 10;
  UIEdgeInsets sectionInset;

  // Places `itemCounts[s]` items of each section s in a view whose visible
  // area, inside its content insets, is `visible`.
  Result layout(const std::vector<int>& itemCounts, Size visible) const;
};

}  // namespace velmoradine
