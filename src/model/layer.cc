#include "model/layer.h"

#include <algorithm>
#include <utility>

namespace varbex {

void Layer::insert(PlacedItem item) {
  if (items_.empty()) {
    startX_ = item.x;
    endX_ = item.x + item.width;
    startY_ = item.y;
    endY_ = item.y + item.length;
    startZ_ = item.z;
    endZ_ = item.z + item.depth;
  } else {
    startX_ = std::min(item.x, startX_);
    endX_ = std::max(item.x + item.width, endX_);
    startY_ = std::min(item.y, startY_);
    endY_ = std::max(item.y + item.length, endY_);
    startZ_ = std::min(item.z, startZ_);
    endZ_ = std::max(item.z + item.depth, endZ_);
  }
  weight_ += item.item->weight();
  items_.push_back(std::move(item));
  width_ = endX_ - startX_;
  length_ = endY_ - startY_;
  depth_ = endZ_ - startZ_;
  area_ = length_ * width_;
}

void Layer::merge(const Layer& other) {
  items_.reserve(items_.size() + other.items_.size());
  for (const PlacedItem& item : other.items_) insert(item);
}

void Layer::merge(Layer&& other) {
  items_.reserve(items_.size() + other.items_.size());
  for (PlacedItem& item : other.items_) insert(std::move(item));
  other.clear();
}

std::vector<PlacedItem> Layer::releaseItems() {
  std::vector<PlacedItem> items = std::move(items_);
  clear();
  return items;
}

void Layer::clear() {
  items_.clear();
  startX_ = endX_ = startY_ = endY_ = startZ_ = endZ_ = 0;
  width_ = length_ = depth_ = area_ = weight_ = 0;
}

}  // namespace varbex
