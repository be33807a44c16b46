#pragma once

// A collection view: a scroll view of cells placed by a flow layout.
//
// Its data source tells how many items each section has and makes the cell
// for an item, normally by `dequeueReusableCell` under an identifier
// registered beforehand (dequeuing an unregistered identifier is a
// programming error and stops the process with a message naming it). Only
// the items in sight have cells; the others' cells wait for reuse. Its
// delegate hears highlights (finger down on an item), unhighlights and
// selections (finger lifted without dragging). Data source and delegate are
// held weakly. Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/uikit/index_path.hpp"
#include "velmoradine/platform/uikit/ui_collection_view_cell.hpp"
#include "velmoradine/platform/uikit/ui_collection_view_flow_layout.hpp"
#include "velmoradine/platform/uikit/ui_scroll_view.hpp"

namespace velmoradine {

class UICollectionView;

// Where `scrollToItem` leaves the item.
enum class UICollectionViewScrollPosition {
  // Wherever the least scrolling shows the whole item: its near edge at the
  // edge it was hidden past, no scrolling at all when it is in sight already.
  none,
};

class UICollectionViewDataSource {
 public:
  virtual ~UICollectionViewDataSource() = default;
  virtual int numberOfSections(UICollectionView&) { return 1; }
  virtual int numberOfItemsInSection(UICollectionView& collectionView, int section) = 0;
  virtual std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView& collectionView,
                                                              const IndexPath& indexPath) = 0;
};

class UICollectionViewDelegate {
 public:
  virtual ~UICollectionViewDelegate() = default;
  virtual bool shouldHighlightItemAt(UICollectionView&, const IndexPath&) { return true; }
  virtual void didHighlightItemAt(UICollectionView&, const IndexPath&) {}
  virtual void didUnhighlightItemAt(UICollectionView&, const IndexPath&) {}
  virtual void didSelectItemAt(UICollectionView&, const IndexPath&) {}
};

class UICollectionView : public UIScrollView {
 public:
  using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>(Rect frame)>;

  UICollectionView(Rect frame, std::shared_ptr<UICollectionViewFlowLayout> layout);

  const std::shared_ptr<UICollectionViewFlowLayout>& collectionViewLayout() const {
    return layout_;
  }
  void setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource);
  void setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  void registerCell(const std::string& reuseIdentifier, CellFactory factory);
  template <typename Cell>
  void registerClass(const std::string& reuseIdentifier) {
    registerCell(reuseIdentifier, [](Rect frame) { return std::make_shared<Cell>(frame); });
  }
  std::shared_ptr<UICollectionViewCell> dequeueReusableCell(const std::string& reuseIdentifier,
                                                            const IndexPath& indexPath);

  void reloadData();
  // Asks the data source again for the cells of these items, if in sight.
  void reloadItems(const std::vector<IndexPath>& indexPaths);
  int numberOfSections() const { return static_cast<int>(counts_.size()); }
  int numberOfItems(int section) const;
  // The cell showing the item, if it is in sight.
  std::shared_ptr<UICollectionViewCell> cellForItem(const IndexPath& indexPath) const;
  std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells() const;
  // The item at a point of the content (the view's own coordinates).
  std::optional<IndexPath> indexPathForItem(Point point) const;
  // Where the layout puts the item, in the content's coordinates.
  std::optional<Rect> frameForItem(const IndexPath& indexPath) const;
  // Scrolls the item into sight (within the content and its insets) and
  // lays the cells out for the new offset, so `cellForItem` has its cell.
  // Animated, the cells along the way stay until the animation has ended.
  void scrollToItem(const IndexPath& indexPath, UICollectionViewScrollPosition position,
                    bool animated);

  void layoutSubviews() override;
  void touchesBegan(const UITouch& touch) override;
  void touchesEnded(const UITouch& touch) override;
  void touchesCancelled(const UITouch& touch) override;

 protected:
  void didBeginDragging() override;

 private:
  void refreshCounts();
  void recycle(const std::shared_ptr<UICollectionViewCell>& cell);
  void place(const IndexPath& indexPath, const Rect& frame);
  void unhighlight();

  std::shared_ptr<UICollectionViewFlowLayout> layout_;
  std::weak_ptr<UICollectionViewDataSource> dataSource_;
  std::weak_ptr<UICollectionViewDelegate> delegate_;
  std::map<std::string, CellFactory> factories_;
  std::map<std::string, std::vector<std::shared_ptr<UICollectionViewCell>>> reusable_;
  std::map<IndexPath, std::shared_ptr<UICollectionViewCell>> visible_;
  std::vector<UICollectionViewLayoutAttributes> items_;
  std::vector<int> counts_;
  bool countsKnown_ = false;
  std::optional<IndexPath> highlighted_;
  // What an animated scroll passes over, while it runs.
  std::optional<Rect> scrollingOver_;
};

}  // namespace velmoradine
