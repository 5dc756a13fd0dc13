#include "fill/layer_filler_shortcuts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fill/room.h"

namespace varbex {
namespace {

// Whether no item fits the region's corner, the most room any of its positions offers.
// `smallest` holds the smallest sides of the items, or of any list of items that includes them.
bool nothingFits(const Region& region, StackedItems remaining, const SortedTriple& smallest) {
  const Room room = roomOf(region);
  return takesNoneOf(room, smallest) ||
         std::none_of(remaining.begin(), remaining.end(),
                      [&room](const StackedItem& item) { return fitsSomehowAs(item, room); });
}

// The smallest sides of the items and the weight of the heaviest, read in one pass over them.
struct StackBounds {
  SortedTriple smallestSides;
  double heaviest;
};

StackBounds boundsOf(StackedItems items) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  SortedTriple smallest(kInf, kInf, kInf);
  bool sidesKnown = true;
  double heaviest = -kInf;
  for (const StackedItem& item : items) {
    // Not a number compares false, so it never becomes the heaviest.
    if (item.weight() > heaviest) heaviest = item.weight();
    if (!sidesKnown) continue;
    const SortedTriple shape = item.shape();
    if (std::isnan(shape.low) || std::isnan(shape.middle) || std::isnan(shape.high)) {
      sidesKnown = false;
      continue;
    }
    smallest.low = std::min(smallest.low, shape.low);
    smallest.middle = std::min(smallest.middle, shape.middle);
    smallest.high = std::min(smallest.high, shape.high);
  }
  // As smallestSides has it: nothing is known of the sides once one is not a number.
  if (!sidesKnown) smallest = SortedTriple(-kInf, -kInf, -kInf);
  return StackBounds{smallest, heaviest};
}

}  // namespace

// No item joins the stack during the layer, so these sides stay below those of what is left, and
// no item left is heavier than this one.
void LayerFillerWithShortcuts::layerBegins(StackedItems stack) {
  if (!shortcuts_.layerSkipsEmptyRegions) return;
  const StackBounds bounds = boundsOf(stack);
  smallestSides_ = bounds.smallestSides;
  // Without a weight limit nothing is dropped, whatever the weights.
  heaviest_ = limitsWeight() ? bounds.heaviest : std::numeric_limits<double>::infinity();
}

// A region no item fits and none would be dropped from would only see the stack shuffled and put
// back as it was; stacks above items and gaps behind them are mostly such regions. Only with no
// first orientation to place: that one is placed without asking whether it fits.
bool LayerFillerWithShortcuts::worthFilling(const OpenRegion& r, const SetAsideStack& stack,
                                            const std::vector<PlacedItem>& placed) {
  if (!LayerFiller::worthFilling(r, stack, placed)) return false;
  const StackedItems toTry = stack.stackedToTry();
  return !(shortcuts_.layerSkipsEmptyRegions && !r.firstOrientation &&
           nothingFits(r.region, toTry, smallestSides_) && dropsNothingLeft(toTry, placed));
}

// When even the heaviest item the layer began with is carried, none left is dropped, and the
// stack need not be read.
bool LayerFillerWithShortcuts::dropsNothingLeft(StackedItems remaining,
                                                const std::vector<PlacedItem>& placed) {
  return carriesUpTo(heaviest_, placed) || dropsNothing(remaining, placed);
}

// Most items tried at a position fit there in no orientation at all; the chooser would find no
// candidate for them.
bool LayerFillerWithShortcuts::mayHaveCandidate(const StackedItem& item, const Room& room) const {
  if (!shortcuts_.chooserAsksFittingItemsOnly) return LayerFiller::mayHaveCandidate(item, room);
  return fitsSomehowAs(item, room);
}

}  // namespace varbex
