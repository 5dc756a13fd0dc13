#include "model/placed_item.h"

#include <utility>

namespace varbex {

PlacedItem::PlacedItem(OrientedItem oriented, double x, double y, double z)
    : OrientedItem(std::move(oriented)), x(x), y(y), z(z) {}

PlacedItem PlacedItem::translated(double dx, double dy, double dz) const {
  PlacedItem copy = *this;
  copy.x = x + dx;
  copy.y = y + dy;
  copy.z = z + dz;
  return copy;
}

}  // namespace varbex
