#include "velmoradine/platform/uikit/ui_collection_view_flow_layout.hpp"

#include <algorithm>
#include <cmath>

namespace velmoradine {
namespace {

// The layout worked out along the scroll direction ("main") and across it
// ("cross"), then turned into x and y.
struct Axes {
  bool horizontal;
  double item(const Size& s) const { return horizontal ? s.width : s.height; }
  double across(const Size& s) const { return horizontal ? s.height : s.width; }
  Rect rect(double main, double cross, const Size& s) const {
    return horizontal ? Rect(main, cross, s.width, s.height) : Rect(cross, main, s.width, s.height);
  }
};

}  // namespace

UICollectionViewFlowLayout::Result UICollectionViewFlowLayout::layout(
    const std::vector<int>& itemCounts, Size visible) const {
  Axes axes{scrollDirection == UICollectionViewScrollDirection::horizontal};
  double leadInset = axes.horizontal ? sectionInset.left : sectionInset.top;
  double tailInset = axes.horizontal ? sectionInset.right : sectionInset.bottom;
  double crossStart = axes.horizontal ? sectionInset.top : sectionInset.left;
  double crossEnd = axes.horizontal ? sectionInset.bottom : sectionInset.right;
  double room = std::max(0.0, axes.across(visible) - crossStart - crossEnd);
  double itemMain = axes.item(itemSize);
  double itemCross = axes.across(itemSize);
  int perLine = 1;
  if (itemCross > 0) {
    perLine = std::max(1, static_cast<int>(std::floor((room + minimumInteritemSpacing) /
                                                      (itemCross + minimumInteritemSpacing))));
  }
  double crossGap = perLine > 1 ? (room - perLine * itemCross) / (perLine - 1) : 0;

  Result result;
  double main = 0;
  for (int section = 0; section < static_cast<int>(itemCounts.size()); ++section) {
    int count = std::max(0, itemCounts[section]);
    main += leadInset;
    int lines = (count + perLine - 1) / perLine;
    for (int item = 0; item < count; ++item) {
      int line = item / perLine;
      int slot = item % perLine;
      double cross = perLine == 1 ? crossStart + (room - itemCross) / 2
                                  : crossStart + slot * (itemCross + crossGap);
      result.items.push_back(
          {{item, section},
           axes.rect(main + line * (itemMain + minimumLineSpacing), cross, itemSize)});
    }
    if (lines > 0) main += lines * itemMain + (lines - 1) * minimumLineSpacing;
    main += tailInset;
  }
  double crossSize = axes.across(visible);
  result.contentSize = axes.horizontal ? Size{main, crossSize} : Size{crossSize, main};
  return result;
}

}  // namespace velmoradine
