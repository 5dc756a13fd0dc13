#pragma once

#include <vector>

#include "model/placed_item.h"

namespace varbex {

// An empty cuboid of a trial packing, in the packing's own frame.
struct FreeSpace {
  double x, y, z;
  double width, length, depth;
  double volume;  // (width x length) x depth
  double area;    // width x length

  FreeSpace(double x, double y, double z, double width, double length, double depth);
};

// The spaces with every item cut out of them. Each overlapped space is replaced by up to six
// disjoint pieces (left, right, front, back, below, above); touching faces do not overlap, and
// nothing is merged or dropped for being small.
std::vector<FreeSpace> subtractItems(std::vector<FreeSpace> spaces,
                                     const std::vector<PlacedItem>& items);

// The empty part of a W x L x D packing that holds the given items: the whole packing with the
// items subtracted.
std::vector<FreeSpace> freeSpaces(double width, double length, double depth,
                                  const std::vector<PlacedItem>& items);

// Whether the item and the space overlap; touching faces do not count.
bool overlaps(const PlacedItem& item, const FreeSpace& space);

// Appends the pieces of `space` that lie outside `item`, which overlaps it.
void appendPieces(const FreeSpace& space, const PlacedItem& item, std::vector<FreeSpace>& out);

}  // namespace varbex
