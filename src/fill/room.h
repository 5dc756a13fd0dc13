#pragma once

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

// Whether some orientation the item's policy allows fits the room. With every turn allowed that
// is the case exactly when the sorted extents fit the sorted room, side by side.
inline bool fitsSomehow(const Item& item, const Room& room) {
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

}  // namespace varbex
