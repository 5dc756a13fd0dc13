#pragma once

#include <optional>
#include <vector>

#include "model/item.h"
#include "model/placed_item.h"
#include "model/sorted_triple.h"

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

// The empty part of a W x L x D packing that holds the given items.
std::vector<FreeSpace> freeSpaces(double width, double length, double depth,
                                  const std::vector<PlacedItem>& items);

// Whether some item fits, in no orientation it allows, any of the spaces, even with each grown by
// `slack` on every side.
bool someItemFitsNoSpace(const std::vector<ItemRef>& items, const std::vector<FreeSpace>& spaces,
                         double slack);

// How much larger than the space it was cut from a piece can come out through rounding, after the
// items and `laterCuts` more have been cut out of a W x L x D box; nothing when a value is not
// finite, as pieces then need not shrink at all.
std::optional<double> cuttingSlack(double width, double length, double depth,
                                   const std::vector<PlacedItem>& items, std::size_t laterCuts);

// The question of someItemFitsNoSpace, with that slack, about the spaces `freeSpaces` would list,
// answered without listing them all: a piece that no item fits even with the slack is not cut any
// further, since the pieces cut from it are no larger. False when the slack is not known.
bool someItemFitsNoFreeSpace(double width, double length, double depth,
                             const std::vector<PlacedItem>& items,
                             const std::vector<ItemRef>& candidates);

// Whether the space, grown by `slack` on every side, is no shorter than `smallest`, the smallest
// sides of some items (smallestSides): when it is shorter, none of them fits it.
bool mayTakeSome(const FreeSpace& space, double slack, const SortedTriple& smallest);

// The spaces `freeSpaces` lists that are no shorter than the smallest sides of `candidates`, in
// the order it lists them, and the slack that keeps this telling when they are cut further: a
// space shorter than those sides even with the slack has no piece, now or after further cuts by
// the candidates, that one of them fits. Nothing when a value is not finite.
struct SpacesItemsMayFit {
  std::vector<FreeSpace> spaces;
  double slack;
};
std::optional<SpacesItemsMayFit> freeSpacesItemsMayFit(double width, double length, double depth,
                                                       const std::vector<PlacedItem>& items,
                                                       const std::vector<ItemRef>& candidates);

}  // namespace varbex
