#include "fill/layer_filler_shortcuts.h"

#include <algorithm>
#include <utility>

#include "fill/room.h"

namespace varbex {
namespace {

// Whether no item fits the region's corner, the most room any of its positions offers.
// `smallest` holds the smallest sides of the items, or of any list of items that includes them.
bool nothingFits(const Region& region, const ItemStack& remaining, const SortedTriple& smallest) {
  const Room room = roomOf(region);
  return takesNoneOf(room, smallest) ||
         std::none_of(remaining.begin(), remaining.end(),
                      [&room](const ItemRef& item) { return fitsSomehow(*item, room); });
}

}  // namespace

const Layer& LayerFillerWithShortcuts::fillLayerInPlace(
    ItemStack& remaining, std::vector<PlacedItem>& placed, const Region& region,
    bool checkStability, std::optional<OrientedItem> firstOrientation) {
  // No item joins the stack during the call, so these sides stay below those of what is left.
  if (shortcuts_.layerSkipsEmptyRegions) smallestSides_ = smallestSides(remaining);
  return LayerFiller::fillLayerInPlace(remaining, placed, region, checkStability,
                                       std::move(firstOrientation));
}

// A region no item fits and none would be dropped from would only see the stack shuffled and put
// back as it was; stacks above items and gaps behind them are mostly such regions. Only with no
// first orientation to place: that one is placed without asking whether it fits.
bool LayerFillerWithShortcuts::worthFilling(const OpenRegion& r, const ItemStack& remaining,
                                            const std::vector<PlacedItem>& placed) {
  if (!LayerFiller::worthFilling(r, remaining, placed)) return false;
  return !(shortcuts_.layerSkipsEmptyRegions && !r.firstOrientation &&
           nothingFits(r.region, remaining, smallestSides_) && dropsNothing(remaining, placed));
}

// Most items tried at a position fit there in no orientation at all; the chooser would find no
// candidate for them.
bool LayerFillerWithShortcuts::mayHaveCandidate(const Item& item, const Room& room) const {
  if (!shortcuts_.chooserAsksFittingItemsOnly) return LayerFiller::mayHaveCandidate(item, room);
  return fitsSomehow(item, room);
}

}  // namespace varbex
