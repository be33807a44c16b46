#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ui_collection_view.hpp"

namespace velmoradine::testing {
namespace {

constexpr double kItem = 75;
const char* const kIdentifier = "Cell";

class CountingCell : public UICollectionViewCell {
 public:
  explicit CountingCell(Rect frame) : UICollectionViewCell(frame) { ++made; }
  static inline int made = 0;
  int item = -1;
};

class Source : public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  explicit Source(int count) : count(count) {}
  int numberOfItemsInSection(UICollectionView&, int) override { return count; }
  std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView& view,
                                                      const IndexPath& indexPath) override {
    auto cell =
        std::static_pointer_cast<CountingCell>(view.dequeueReusableCell(kIdentifier, indexPath));
    cell->item = indexPath.item;
    ++asked;
    return cell;
  }
  void didHighlightItemAt(UICollectionView&, const IndexPath& p) override {
    events += "highlight " + std::to_string(p.item) + " ";
  }
  void didUnhighlightItemAt(UICollectionView&, const IndexPath& p) override {
    events += "unhighlight " + std::to_string(p.item) + " ";
  }
  void didSelectItemAt(UICollectionView&, const IndexPath& p) override {
    events += "select " + std::to_string(p.item) + " ";
  }
  int count;
  int asked = 0;
  std::string events;
};

// The outlet row of a share screen: a 375-point wide horizontal row with
// room for four and a half items.
class CollectionViewTest : public UIKitTest {
 protected:
  void makeRow(int count) {
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->scrollDirection = UICollectionViewScrollDirection::horizontal;
    layout->itemSize = {kItem, kItem};
    int n = static_cast<int>(std::floor((375 - 6) / kItem));
    layout->minimumLineSpacing = (375 - (n + 0.5) * kItem) / n;
    row = std::make_shared<UICollectionView>(Rect(0, 600, 375, 80), layout);
    row->setContentInset({0, 6, 0, 6});
    row->registerClass<CountingCell>(kIdentifier);
    source = std::make_shared<Source>(count);
    row->setDataSource(source);
    row->setDelegate(source);
    root->view()->addSubview(row);
    CountingCell::made = 0;
    window->layoutIfNeeded();
  }

  std::shared_ptr<CountingCell> cell(int item) {
    return std::static_pointer_cast<CountingCell>(row->cellForItem({item, 0}));
  }

  std::shared_ptr<UICollectionView> row;
  std::shared_ptr<Source> source;
};

TEST_F(CollectionViewTest, PlacesItemsAlongTheRowWithTheLineSpacingInsideTheInsets) {
  makeRow(7);
  struct Case {
    int item;
    double x;  // on screen
  } cases[] = {{0, 6}, {1, 6 + 84.375}, {3, 6 + 3 * 84.375}, {4, 6 + 4 * 84.375}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    auto shown = cell(c.item);
    ASSERT_NE(shown, nullptr);
    Rect onScreen = shown->convert(shown->bounds(), *root->view());
    EXPECT_DOUBLE_EQ(onScreen.minX(), c.x);
    EXPECT_DOUBLE_EQ(onScreen.minY(), 602.5) << "centred in the 80-point row";
    EXPECT_EQ(shown->item, c.item);
  }
  EXPECT_EQ(cell(5), nullptr) << "out of sight: no cell";
  EXPECT_DOUBLE_EQ(row->contentSize().width, 7 * kItem + 6 * 9.375);
}

TEST_F(CollectionViewTest, ScrollingAndReloadingReuseCellsByIdentifier) {
  makeRow(40);
  int shown = static_cast<int>(row->visibleCells().size());
  EXPECT_EQ(CountingCell::made, shown);
  // A long drag to the left, in steps, brings later items into sight.
  window->sendTouch(UITouchPhase::began, {300, 640});
  for (int x = 290; x >= -1200; x -= 30) window->sendTouch(UITouchPhase::moved, {double(x), 640});
  window->sendTouch(UITouchPhase::ended, {-1200, 640});
  window->layoutIfNeeded();
  EXPECT_EQ(cell(0), nullptr);
  ASSERT_FALSE(row->visibleCells().empty());
  EXPECT_LE(CountingCell::made, shown + 1) << "cells scrolled out of sight come back";
  EXPECT_EQ(source->events, "highlight 3 unhighlight 3 ") << "a drag selects nothing";

  auto first = row->visibleCells().front();
  int item = std::static_pointer_cast<CountingCell>(first)->item;
  int asked = source->asked;
  row->reloadItems({{item, 0}});
  EXPECT_EQ(source->asked, asked + 1);
  EXPECT_EQ(cell(item), first) << "the reloaded item gets its own cell back";
}

TEST_F(CollectionViewTest, ATapHighlightsThenSelectsTheItemUnderTheFinger) {
  makeRow(7);
  window->sendTouch(UITouchPhase::began, {6 + 84.375 + 30, 640});
  EXPECT_TRUE(cell(1)->isHighlighted());
  window->sendTouch(UITouchPhase::ended, {6 + 84.375 + 30, 640});
  EXPECT_FALSE(cell(1)->isHighlighted());
  EXPECT_EQ(source->events, "highlight 1 unhighlight 1 select 1 ");
}

TEST_F(CollectionViewTest, ScrollingToAnItemShowsItWholeWithTheLeastMovement) {
  // Items sit 84.375 points apart; the content ends at 581.25, so the
  // furthest offset is 581.25 + 6 - 375.
  constexpr double kEnd = 581.25 + 6 - 375;
  struct Case {
    const char* name;
    double from;
    int item;
    bool animated;
    double offset;
    bool firstItemInSight;
  } cases[] = {
      {"already in sight", kEnd, 4, false, kEnd, false},
      {"off to the right", -6, 4, false, 4 * 84.375 + kItem - 375 + 6, true},
      {"the last, at the content's end", -6, 6, false, kEnd, false},
      {"the last, animated", -6, 6, true, kEnd, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (row) row->removeFromSuperview();
    makeRow(7);
    row->setContentOffset({c.from, 0});
    window->layoutIfNeeded();
    row->scrollToItem({c.item, 0}, UICollectionViewScrollPosition::none, c.animated);
    if (c.animated) {
      EXPECT_NE(cell(0), nullptr) << "cells along the way stay while the row moves";
      advance(1);
      window->layoutIfNeeded();
    }
    EXPECT_DOUBLE_EQ(row->contentOffset().x, c.offset);
    EXPECT_DOUBLE_EQ(row->contentOffset().y, 0);
    auto shown = cell(c.item);
    ASSERT_NE(shown, nullptr);
    EXPECT_GE(shown->frame().minX(), row->bounds().minX());
    EXPECT_LE(shown->frame().maxX(), row->bounds().maxX());
    EXPECT_EQ(cell(0) != nullptr, c.firstItemInSight);
  }
}

TEST_F(CollectionViewTest, AnEmptyRowHasNoCellsAndTapsSelectNothing) {
  makeRow(0);
  EXPECT_TRUE(row->visibleCells().empty());
  window->tap({40, 640});
  EXPECT_EQ(source->events, "");
}

}  // namespace
}  // namespace velmoradine::testing
