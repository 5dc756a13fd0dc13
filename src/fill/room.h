#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "model/item.h"
#include "model/sorted_triple.h"

namespace varbex {

// The extents of an empty cuboid, also sorted, for asking whether an item could go in at all.
struct Room {
  double width, length, depth;
  SortedTriple sorted;

  Room(double width, double length, double depth)
      : width(width), length(length), depth(depth), sorted(width, length, depth) {}
};

// fitsSomehow for an item of any class, read through ItemType's own functions.
template <typename ItemType>
[[gnu::always_inline]] inline bool fitsSomehowAs(const ItemType& item, const Room& room) {
  switch (item.rotationPolicy()) {
    case RotationPolicy::Never:
      return room.width >= item.width() && room.length >= item.length() &&
             room.depth >= item.depth();
    case RotationPolicy::KeepFlat:
      return room.depth >= item.depth() &&
             ((room.width >= item.width() && room.length >= item.length()) ||
              (room.width >= item.length() && room.length >= item.width()));
    case RotationPolicy::BestFit:
      break;
  }
  const SortedTriple shape = item.shape();
  return room.sorted.low >= shape.low && room.sorted.middle >= shape.middle &&
         room.sorted.high >= shape.high;
}

// Whether some orientation the item's policy allows fits the room. With every turn allowed that
// is the case exactly when the sorted extents fit the sorted room, side by side.
inline bool fitsSomehow(const Item& item, const Room& room) {
  return withItemData(item, [&room](const auto& i) { return fitsSomehowAs(i, room); });
}

// Whether every extent of the item is zero or more (not a number counts as negative). Rows only
// move forward and regions only nest while such items are placed, so no room offered later is
// larger than the one they went into; a negative extent moves a row back or lowers a floor.
inline bool hasNonNegativeExtents(const Item& item) {
  return withItemData(item, [](const auto& i) {
    return i.width() >= 0 && i.length() >= 0 && i.depth() >= 0;
  });
}

// The smallest short, middle and long sides among the items. Whatever its policy, an item that
// fits a room has sorted sides no longer than the room's sorted sides, so a room short of one of
// these takes none of the items. Nothing is known (-inf) when a side is not a number.
inline SortedTriple smallestSides(const std::vector<ItemRef>& items) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  SortedTriple smallest(kInf, kInf, kInf);
  for (const ItemRef& item : items) {
    const SortedTriple shape = shapeOf(*item);
    if (std::isnan(shape.low) || std::isnan(shape.middle) || std::isnan(shape.high)) {
      return SortedTriple(-kInf, -kInf, -kInf);
    }
    smallest.low = std::min(smallest.low, shape.low);
    smallest.middle = std::min(smallest.middle, shape.middle);
    smallest.high = std::min(smallest.high, shape.high);
  }
  return smallest;
}

inline bool takesNoneOf(const Room& room, const SortedTriple& smallest) {
  return room.sorted.low < smallest.low || room.sorted.middle < smallest.middle ||
         room.sorted.high < smallest.high;
}

}  // namespace varbex
