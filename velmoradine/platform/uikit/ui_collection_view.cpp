#include "velmoradine/platform/uikit/ui_collection_view.hpp"

#include <algorithm>

#include "velmoradine/platform/foundation/fatal.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"

namespace velmoradine {
namespace {

constexpr double kScrollAnimationDuration = 0.3;

bool intersects(const Rect& a, const Rect& b) {
  return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

// The offset along one axis that shows the item's span [low, high] whole
// with the least movement; the insets stay clear as when the row starts.
double nearestOffset(double offset, double length, double low, double high, double insetBefore,
                     double insetAfter) {
  if (low < offset) return low - insetBefore;
  if (high > offset + length) return high - length + insetAfter;
  return offset;
}

}  // namespace

UICollectionView::UICollectionView(Rect frame, std::shared_ptr<UICollectionViewFlowLayout> layout)
    : UIScrollView(frame),
      layout_(layout ? std::move(layout) : std::make_shared<UICollectionViewFlowLayout>()) {}

void UICollectionView::setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource) {
  dataSource_ = std::move(dataSource);
  reloadData();
}

void UICollectionView::registerCell(const std::string& reuseIdentifier, CellFactory factory) {
  assertMainThread("UICollectionView::registerCell");
  factories_[reuseIdentifier] = std::move(factory);
}

std::shared_ptr<UICollectionViewCell> UICollectionView::dequeueReusableCell(
    const std::string& reuseIdentifier, const IndexPath& indexPath) {
  assertMainThread("UICollectionView::dequeueReusableCell");
  auto& pool = reusable_[reuseIdentifier];
  if (!pool.empty()) {
    auto cell = std::move(pool.back());
    pool.pop_back();
    cell->prepareForReuse();
    return cell;
  }
  auto factory = factories_.find(reuseIdentifier);
  if (factory == factories_.end() || !factory->second) {
    fatalError("UICollectionView: no cell class registered under the reuse identifier \"" +
               reuseIdentifier + "\"");
  }
  auto cell = factory->second(frameForItem(indexPath).value_or(Rect()));
  if (!cell)
    fatalError("UICollectionView: the cell factory for \"" + reuseIdentifier + "\" made no cell");
  cell->reuseIdentifier_ = reuseIdentifier;
  return cell;
}

void UICollectionView::refreshCounts() {
  counts_.clear();
  countsKnown_ = true;
  auto dataSource = dataSource_.lock();
  if (!dataSource) return;
  int sections = std::max(0, dataSource->numberOfSections(*this));
  for (int section = 0; section < sections; ++section) {
    counts_.push_back(std::max(0, dataSource->numberOfItemsInSection(*this, section)));
  }
}

int UICollectionView::numberOfItems(int section) const {
  if (section < 0 || section >= static_cast<int>(counts_.size())) return 0;
  return counts_[section];
}

void UICollectionView::recycle(const std::shared_ptr<UICollectionViewCell>& cell) {
  if (highlighted_ && cellForItem(*highlighted_) == cell) unhighlight();
  cell->removeFromSuperview();
  if (cell->reuseIdentifier_) reusable_[*cell->reuseIdentifier_].push_back(cell);
}

void UICollectionView::reloadData() {
  assertMainThread("UICollectionView::reloadData");
  auto cells = visible_;
  visible_.clear();
  for (const auto& [indexPath, cell] : cells) recycle(cell);
  countsKnown_ = false;
  setNeedsLayout();
}

void UICollectionView::reloadItems(const std::vector<IndexPath>& indexPaths) {
  assertMainThread("UICollectionView::reloadItems");
  for (const auto& indexPath : indexPaths) {
    auto found = visible_.find(indexPath);
    if (found == visible_.end()) continue;
    auto cell = found->second;
    visible_.erase(found);
    recycle(cell);
    if (auto frame = frameForItem(indexPath)) place(indexPath, *frame);
  }
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItem(
    const IndexPath& indexPath) const {
  auto found = visible_.find(indexPath);
  return found == visible_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() const {
  std::vector<std::shared_ptr<UICollectionViewCell>> cells;
  for (const auto& [indexPath, cell] : visible_) cells.push_back(cell);
  return cells;
}

std::optional<IndexPath> UICollectionView::indexPathForItem(Point point) const {
  for (const auto& item : items_) {
    if (item.frame.contains(point)) return item.indexPath;
  }
  return std::nullopt;
}

std::optional<Rect> UICollectionView::frameForItem(const IndexPath& indexPath) const {
  for (const auto& item : items_) {
    if (item.indexPath == indexPath) return item.frame;
  }
  return std::nullopt;
}

void UICollectionView::scrollToItem(const IndexPath& indexPath, UICollectionViewScrollPosition,
                                    bool animated) {
  assertMainThread("UICollectionView::scrollToItem");
  layoutIfNeeded();
  const std::optional<Rect> item = frameForItem(indexPath);
  if (!item) return;
  const Rect b = bounds();
  const UIEdgeInsets& inset = contentInset();
  const Point target = clamped(
      {nearestOffset(b.minX(), b.width(), item->minX(), item->maxX(), inset.left, inset.right),
       nearestOffset(b.minY(), b.height(), item->minY(), item->maxY(), inset.top, inset.bottom)});
  if (target == b.origin) return;
  if (animated) {
    const Rect over = b.unionWith(Rect(target, b.size));
    scrollingOver_ = over;
    UIView::animate(
        kScrollAnimationDuration, [&] { setContentOffset(target); },
        [weak = std::weak_ptr<UIView>(shared_from_this()), over](bool) {
          auto self = std::static_pointer_cast<UICollectionView>(weak.lock());
          // A later scroll that took over keeps its own span.
          if (!self || self->scrollingOver_ != over) return;
          self->scrollingOver_.reset();
          self->setNeedsLayout();
        });
  } else {
    setContentOffset(target);
  }
  layoutIfNeeded();
}

void UICollectionView::place(const IndexPath& indexPath, const Rect& frame) {
  if (auto found = visible_.find(indexPath); found != visible_.end()) {
    found->second->setFrame(frame);
    return;
  }
  auto dataSource = dataSource_.lock();
  if (!dataSource) return;
  auto cell = dataSource->cellForItemAt(*this, indexPath);
  if (!cell) return;
  cell->setFrame(frame);
  if (cell->superview().get() != this) addSubview(cell);
  visible_[indexPath] = cell;
}

void UICollectionView::layoutSubviews() {
  UIScrollView::layoutSubviews();
  if (!countsKnown_) refreshCounts();
  const UIEdgeInsets& inset = contentInset();
  const Rect& b = bounds();
  const Rect shown = scrollingOver_.value_or(b);
  auto result = layout_->layout(
      counts_, {b.width() - inset.left - inset.right, b.height() - inset.top - inset.bottom});
  items_ = std::move(result.items);
  setContentSize(result.contentSize);
  auto cells = visible_;
  for (const auto& [indexPath, cell] : cells) {
    auto frame = frameForItem(indexPath);
    if (frame && intersects(*frame, shown)) continue;
    visible_.erase(indexPath);
    recycle(cell);
  }
  for (const auto& item : items_) {
    if (intersects(item.frame, shown)) place(item.indexPath, item.frame);
  }
}

void UICollectionView::touchesBegan(const UITouch& touch) {
  UIScrollView::touchesBegan(touch);
  auto self = shared_from_this();
  unhighlight();
  auto indexPath = indexPathForItem(touch.location(*this));
  auto delegate = delegate_.lock();
  if (!indexPath || !cellForItem(*indexPath)) return;
  if (delegate && !delegate->shouldHighlightItemAt(*this, *indexPath)) return;
  highlighted_ = indexPath;
  cellForItem(*indexPath)->setHighlighted(true);
  if (delegate) delegate->didHighlightItemAt(*this, *indexPath);
}

void UICollectionView::touchesEnded(const UITouch& touch) {
  UIScrollView::touchesEnded(touch);
  auto self = shared_from_this();
  auto selected = highlighted_;
  unhighlight();
  if (!selected) return;
  if (auto delegate = delegate_.lock()) delegate->didSelectItemAt(*this, *selected);
}

void UICollectionView::touchesCancelled(const UITouch& touch) {
  UIScrollView::touchesCancelled(touch);
  unhighlight();
}

void UICollectionView::didBeginDragging() {
  unhighlight();
}

void UICollectionView::unhighlight() {
  if (!highlighted_) return;
  IndexPath indexPath = *highlighted_;
  highlighted_.reset();
  if (auto cell = cellForItem(indexPath)) cell->setHighlighted(false);
  if (auto delegate = delegate_.lock()) delegate->didUnhighlightItemAt(*this, indexPath);
}

}  // namespace velmoradine
