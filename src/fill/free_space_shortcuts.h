#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "fill/free_space.h"
#include "model/item.h"
#include "model/placed_item.h"
#include "model/sorted_triple.h"

namespace varbex {

// freeSpaces, listed faster: the same spaces in the same order, by a depth-first walk of the cuts
// that skips runs of items far from a piece, instead of cutting the whole list by every item.
std::vector<FreeSpace> freeSpacesWalked(double width, double length, double depth,
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
