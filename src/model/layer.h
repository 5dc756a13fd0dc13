#pragma once

#include <vector>

#include "model/placed_item.h"

namespace varbex {

// Placed items built together (a horizontal slice, the stack above one item, one gap's contents)
// with their bounding box and weight kept current by insert(). An empty layer is all zero.
class Layer {
 public:
  void insert(PlacedItem item);
  void merge(const Layer& other);
  // The same, moving the other layer's items instead of copying them; the other layer is left
  // empty (keeping its storage for reuse).
  void merge(Layer&& other);
  // Empties the layer, keeping its storage.
  void clear();
  void reserve(std::size_t count) { items_.reserve(count); }
  // Moves the items out, leaving the layer empty.
  std::vector<PlacedItem> releaseItems();

  const std::vector<PlacedItem>& items() const { return items_; }
  bool isEmpty() const { return items_.empty(); }
  double startX() const { return startX_; }
  double endX() const { return endX_; }
  double startY() const { return startY_; }
  double endY() const { return endY_; }
  double startZ() const { return startZ_; }
  double endZ() const { return endZ_; }
  double width() const { return width_; }
  double length() const { return length_; }
  double depth() const { return depth_; }
  double area() const { return area_; }
  double weight() const { return weight_; }

 private:
  std::vector<PlacedItem> items_;
  double startX_ = 0, endX_ = 0;
  double startY_ = 0, endY_ = 0;
  double startZ_ = 0, endZ_ = 0;
  double width_ = 0, length_ = 0, depth_ = 0;
  double area_ = 0;
  double weight_ = 0;
};

}  // namespace varbex
