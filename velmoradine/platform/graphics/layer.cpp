#include "velmoradine/platform/graphics/layer.hpp"

#include <algorithm>
#include <cmath>

namespace velmoradine {

Point Layer::anchorPointInBounds() const {
  return {bounds_.origin.x + anchorPoint_.x * bounds_.size.width,
          bounds_.origin.y + anchorPoint_.y * bounds_.size.height};
}

AffineTransform Layer::transformToSuperlayer() const {
  Point anchor = anchorPointInBounds();
  AffineTransform t = transform_.affineTransform();
  // A non-zero anchorPointZ moves the point the transform turns about out of
  // the plane; its effect on x and y comes through the third row.
  t.tx += position_.x - anchorPointZ_ * transform_.m31;
  t.ty += position_.y - anchorPointZ_ * transform_.m32;
  return AffineTransform::makeTranslation(-anchor.x, -anchor.y).concatenating(t);
}

Rect Layer::frame() const {
  return transformToSuperlayer().apply(bounds_);
}

void Layer::setFrame(Rect value) {
  Rect wanted = value.standardized();
  AffineTransform t = transform_.affineTransform();
  double a = std::fabs(t.a), b = std::fabs(t.b), c = std::fabs(t.c), d = std::fabs(t.d);
  Size size = wanted.size;
  if (b != 0 || c != 0 || a != 1 || d != 1) {
    // The transformed bounds' box is |a|·w + |c|·h wide and |b|·w + |d|·h
    // high; where that cannot be solved for a non-negative size (a quarter
    // turn of 45°, say) the size stays and only the position follows.
    double det = a * d - c * b;
    size = bounds_.size;
    if (det != 0 && std::isfinite(det)) {
      double w = (wanted.size.width * d - c * wanted.size.height) / det;
      double h = (a * wanted.size.height - b * wanted.size.width) / det;
      if (w >= 0 && h >= 0) size = {w, h};
    }
  }
  bounds_.size = size;
  position_ = {0, 0};
  Rect box = transformToSuperlayer().apply(bounds_);
  position_ = {wanted.origin.x - box.origin.x, wanted.origin.y - box.origin.y};
}

bool Layer::isSelfOrAncestor(const Layer* layer) const {
  if (layer == this) return true;
  std::shared_ptr<const Layer> current = superlayer_.lock();
  if (!current) current = maskOwner_.lock();
  while (current) {
    if (current.get() == layer) return true;
    auto next = current->superlayer_.lock();
    current = next ? next : current->maskOwner_.lock();
  }
  return false;
}

bool Layer::canAdopt(const Layer* layer) const {
  return layer != nullptr && !isSelfOrAncestor(layer);
}

void Layer::detach(const std::shared_ptr<Layer>& layer) {
  if (auto previous = layer->superlayer_.lock()) {
    std::erase(previous->sublayers_, layer);
  }
  if (auto owner = layer->maskOwner_.lock(); owner && owner->mask_ == layer) owner->mask_.reset();
  layer->superlayer_.reset();
  layer->maskOwner_.reset();
}

bool Layer::setSublayers(std::vector<std::shared_ptr<Layer>> layers) {
  for (const auto& layer : layers) {
    if (!canAdopt(layer.get())) return false;
  }
  for (const auto& old : sublayers_) old->superlayer_.reset();
  sublayers_.clear();
  for (auto& layer : layers) {
    if (std::find(sublayers_.begin(), sublayers_.end(), layer) != sublayers_.end()) continue;
    detach(layer);
    layer->superlayer_ = weak_from_this();
    sublayers_.push_back(std::move(layer));
  }
  return true;
}

bool Layer::addSublayer(const std::shared_ptr<Layer>& layer) {
  return insertSublayer(layer, sublayers_.size());
}

bool Layer::insertSublayer(const std::shared_ptr<Layer>& layer, std::size_t index) {
  if (!canAdopt(layer.get())) return false;
  detach(layer);
  index = std::min(index, sublayers_.size());
  sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
  layer->superlayer_ = weak_from_this();
  return true;
}

void Layer::removeFromSuperlayer() {
  if (auto previous = superlayer_.lock()) {
    // Keeps this layer alive while it leaves the list that may own it.
    auto self = shared_from_this();
    std::erase(previous->sublayers_, self);
  }
  superlayer_.reset();
}

bool Layer::setMask(std::shared_ptr<Layer> layer) {
  if (layer && !canAdopt(layer.get())) return false;
  if (mask_) mask_->maskOwner_.reset();
  if (layer) {
    detach(layer);
    layer->maskOwner_ = weak_from_this();
  }
  mask_ = std::move(layer);
  return true;
}

}  // namespace velmoradine
