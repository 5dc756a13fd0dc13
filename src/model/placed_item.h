#pragma once

#include "model/oriented_item.h"

namespace varbex {

// An oriented item at a position; it occupies [x, x + width) x [y, y + length) x [z, z + depth).
struct PlacedItem : OrientedItem {
  double x = 0;
  double y = 0;
  double z = 0;

  PlacedItem() = default;
  PlacedItem(OrientedItem oriented, double x, double y, double z);

  PlacedItem translated(double dx, double dy, double dz) const;
};

}  // namespace varbex
