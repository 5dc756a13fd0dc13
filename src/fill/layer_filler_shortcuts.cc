#include <algorithm>

#include "fill/layer_filler_shortcuts.h"
#include "fill/room.h"

namespace varbex {
namespace {

// True when filling the region would place nothing and drop nothing, so that running the rows
// would only shuffle the stack and put it back as it was. Stacks above items and gaps behind them
// are mostly such regions.
// `smallest` holds the smallest sides of the items, or of any list of items that includes them.
template <typename PlacedWeightOf>
bool leavesEverythingAsIs(const Region& region, const ItemStack& remaining,
                          const SortedTriple& smallest, double capacity,
                          PlacedWeightOf placedWeight) {
  const Room room = roomOf(region);
  if (!takesNoneOf(room, smallest) &&
      std::any_of(remaining.begin(), remaining.end(),
                  [&room](const ItemRef& item) { return fitsSomehow(*item, room); })) {
    return false;
  }
  if (capacity < 0) return true;
  const double left = capacity - placedWeight();
  return std::none_of(remaining.begin(), remaining.end(),
                      [left](const ItemRef& item) { return weightOf(*item) > left; });
}

}  // namespace

// A region no item fits and none would be dropped from leaves the stack as it was. Only with no
// first orientation to place: that one is placed without asking whether it fits.
bool LayerFiller::passesOver(const Frame& f, const ItemStack& remaining,
                             const std::vector<PlacedItem>& placed) {
  return shortcuts_.layerSkipsEmptyRegions && !f.firstOrientation &&
         leavesEverythingAsIs(f.region, remaining, smallestSides_, capacity_,
                              [&] { return placedWeight_.of(placed); });
}

}  // namespace varbex
