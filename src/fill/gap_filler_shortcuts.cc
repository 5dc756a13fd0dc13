#include "fill/gap_filler_shortcuts.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "fill/free_space_shortcuts.h"
#include "fill/gap_filler.h"
#include "fill/room.h"

namespace varbex {
namespace {

bool someItemFits(const FreeSpace& space, const ItemStack& items) {
  const Room room = roomOf(regionOf(space));
  return std::any_of(items.begin(), items.end(),
                     [&room](const ItemRef& item) { return fitsSomehow(*item, room); });
}

// Offers the spaces, in order, until one takes an item; the layer it became, or an empty one.
// With `from`, the spaces ordered before it are left out: they were offered already.
Layer passOverEmptySpaces(const std::vector<FreeSpace>& spaces, ItemStack& remaining,
                          std::vector<PlacedItem>& placed, LayerFiller& filler,
                          const Shortcuts& shortcuts, const FreeSpace* from) {
  // A space that no item fits, when no item would be dropped for weight either, would leave the
  // stack as it was: it is passed over without running its rows. Both facts hold for the whole
  // pass over the spaces, as long as no item is dropped (the stack only shrinks then).
  const SortedTriple smallest = smallestSides(remaining);
  bool mayPassOver =
      shortcuts.gapFillingPassesOverEmptySpaces && filler.dropsNothing(remaining, placed);
  Layer filled;
  for (const FreeSpace& s : spaces) {
    if (from && offeredBefore(s, *from)) continue;
    const Region region = regionOf(s);
    if (mayPassOver && takesNoneOf(roomOf(region), smallest)) continue;
    const std::size_t before = remaining.size();
    // Without the stability filter: what it kept out of the main layers may still fit here.
    filled = filler.fillLayer(remaining, placed, region, false);
    if (!filled.isEmpty()) break;
    if (remaining.size() != before) mayPassOver = filler.dropsNothing(remaining, placed);
  }
  return filled;
}

// Where the pass over every space takes over: within the round under way, at the first space not
// ordered before `from` (the spaces before it were offered already), or at the start of a round.
struct Handover {
  std::optional<FreeSpace> from;
};

// One round over the sorted spaces until one takes an item. The handover when a space that ties
// with another in the order would be offered while an item fits both: which goes first then
// depends on where the unstable sort put them, and so on every space of the box.
std::optional<Handover> fillFirstTakerItemsMayFit(const std::vector<FreeSpace>& sorted,
                                                  ItemStack& remaining,
                                                  std::vector<PlacedItem>& placed,
                                                  LayerFiller& filler, Layer& filled,
                                                  const Shortcuts& shortcuts) {
  const SortedTriple smallest = smallestSides(remaining);
  for (std::size_t first = 0; first < sorted.size();) {
    std::size_t end = first + 1;
    while (end < sorted.size() && !offeredBefore(sorted[first], sorted[end])) ++end;
    if (end - first >= 2 &&
        std::count_if(sorted.begin() + static_cast<std::ptrdiff_t>(first),
                      sorted.begin() + static_cast<std::ptrdiff_t>(end),
                      [&remaining](const FreeSpace& s) { return someItemFits(s, remaining); }) >=
            2) {
      return Handover{sorted[first]};
    }
    for (; first < end; ++first) {
      const Region region = regionOf(sorted[first]);
      if (shortcuts.gapFillingPassesOverEmptySpaces && takesNoneOf(roomOf(region), smallest)) {
        continue;
      }
      filled = filler.fillLayer(remaining, placed, region, false);
      if (!filled.isEmpty()) return std::nullopt;
    }
  }
  return std::nullopt;
}

// The rounds over the spaces no shorter than the remaining items' smallest sides, which are
// mostly a few dozen of hundreds. The others can be left out while they are only passed over: when
// no item would be dropped for weight, and no two spaces that an item fits tie in the order. The
// handover, when the pass over every space has to take over; nothing when the gaps are filled.
std::optional<Handover> fillGapsItemsMayFit(SpacesItemsMayFit fitting, std::vector<Layer>& layers,
                                            ItemStack& remaining,
                                            std::vector<PlacedItem>& placed, LayerFiller& filler,
                                            std::optional<double> lossSlack,
                                            const Shortcuts& shortcuts) {
  std::vector<FreeSpace>& spaces = fitting.spaces;
  while (!remaining.empty()) {
    if (lossSlack && someItemFitsNoSpace(remaining, spaces, *lossSlack)) return std::nullopt;
    // Spaces that no item fits still run their rows then, and drop items for weight.
    if (!filler.dropsNothing(remaining, placed)) return Handover{};
    if (spaces.empty()) return std::nullopt;
    sortSpaces(spaces);
    Layer filled;
    if (std::optional<Handover> handover =
            fillFirstTakerItemsMayFit(spaces, remaining, placed, filler, filled, shortcuts)) {
      return handover;
    }
    if (filled.isEmpty()) return std::nullopt;
    spaces = subtractItems(std::move(spaces), filled.items());
    const SortedTriple smallest = smallestSides(remaining);
    spaces.erase(std::remove_if(spaces.begin(), spaces.end(),
                                [&](const FreeSpace& s) {
                                  return !mayTakeSome(s, fitting.slack, smallest);
                                }),
                 spaces.end());
    layers.push_back(std::move(filled));
  }
  return std::nullopt;
}

// The spaces as the passes of the gap layers from `firstGap` on left them, from every space.
std::vector<FreeSpace> spacesAfterGaps(const std::vector<Layer>& layers, std::size_t firstGap,
                                       double width, double length, double depth,
                                       const Shortcuts& shortcuts) {
  const std::vector<PlacedItem> placed = itemsOf(layers, firstGap);
  std::vector<FreeSpace> spaces = shortcuts.freeSpacesWalkedDepthFirst
                                      ? freeSpacesWalked(width, length, depth, placed)
                                      : freeSpaces(width, length, depth, placed);
  for (std::size_t i = firstGap; i < layers.size(); ++i) {
    sortSpaces(spaces);
    spaces = subtractItems(std::move(spaces), layers[i].items());
  }
  return spaces;
}

// The rounding slack under which a whole-box re-pack may stop once some remaining item fits no
// space, or nothing when it must go on. Spaces only shrink as items go in (up to rounding, which
// the slack covers), and while every remaining item has non-negative extents no room offered
// inside a space is larger than the space: an item that fits no space then never will. A negative
// extent moves a row back or lowers a floor, and a lost item could come back.
std::optional<double> slackForLosses(bool untilAnItemIsLost, const ItemStack& remaining,
                                     const std::vector<PlacedItem>& placed, double width,
                                     double length, double depth, const Shortcuts& shortcuts) {
  if (!untilAnItemIsLost || !shortcuts.wholeOrNothingStopsEarly) return std::nullopt;
  if (!std::all_of(remaining.begin(), remaining.end(),
                   [](const ItemRef& item) { return hasNonNegativeExtents(*item); })) {
    return std::nullopt;
  }
  return cuttingSlack(width, length, depth, placed, remaining.size());
}

}  // namespace

std::vector<Layer> fillGapsWithShortcuts(std::vector<Layer> layers, ItemStack& remaining,
                                         LayerFiller& filler, double width, double length,
                                         double depth, bool untilAnItemIsLost,
                                         const Shortcuts& shortcuts) {
  if (!shortcuts.gapFillingPassesOverEmptySpaces && !shortcuts.gapFillingKeepsSpacesItemsMayFit &&
      !shortcuts.freeSpacesWalkedDepthFirst &&
      !(untilAnItemIsLost && shortcuts.wholeOrNothingStopsEarly)) {
    return fillGaps(std::move(layers), remaining, filler, width, length, depth);
  }
  // Nothing left to place: the spaces would be worked out for nothing.
  if (remaining.empty()) return layers;
  std::vector<PlacedItem> placed = itemsOf(layers, layers.size());
  const std::optional<double> lossSlack =
      slackForLosses(untilAnItemIsLost, remaining, placed, width, length, depth, shortcuts);
  // A whole-box re-pack is lost once an item is; mostly that is clear before the spaces are listed.
  if (lossSlack && someItemFitsNoFreeSpace(width, length, depth, placed, remaining)) {
    return layers;
  }
  const std::size_t firstGap = layers.size();
  std::optional<Handover> handover = Handover{};
  std::optional<SpacesItemsMayFit> fitting;
  if (shortcuts.gapFillingKeepsSpacesItemsMayFit) {
    fitting = freeSpacesItemsMayFit(width, length, depth, placed, remaining);
  }
  if (fitting) {
    handover =
        fillGapsItemsMayFit(std::move(*fitting), layers, remaining, placed, filler, lossSlack,
                            shortcuts);
    if (!handover) return layers;
  }
  std::vector<FreeSpace> spaces = spacesAfterGaps(layers, firstGap, width, length, depth, shortcuts);
  while (!remaining.empty() && !spaces.empty()) {
    if (lossSlack && someItemFitsNoSpace(remaining, spaces, *lossSlack)) break;
    sortSpaces(spaces);
    const FreeSpace* from = handover->from ? &*handover->from : nullptr;
    Layer filled = passOverEmptySpaces(spaces, remaining, placed, filler, shortcuts, from);
    handover->from.reset();
    if (filled.isEmpty()) break;
    spaces = subtractItems(std::move(spaces), filled.items());
    layers.push_back(std::move(filled));
  }
  return layers;
}

}  // namespace varbex
