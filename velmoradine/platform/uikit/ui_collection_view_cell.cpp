#include "velmoradine/platform/uikit/ui_collection_view_cell.hpp"

namespace velmoradine {

UICollectionViewCell::UICollectionViewCell(Rect frame)
    : UIView(frame), contentView_(std::make_shared<UIView>(Rect({0, 0}, frame.size))) {
  addSubview(contentView_);
}

void UICollectionViewCell::layoutSubviews() {
  contentView_->setFrame(bounds());
  UIView::layoutSubviews();
}

}  // namespace velmoradine
