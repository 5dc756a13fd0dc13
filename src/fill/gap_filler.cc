#include "fill/gap_filler.h"

#include <algorithm>
#include <cmath>

#include "fill/free_space.h"
#include "fill/room.h"

namespace varbex {
namespace {

bool lowerFirst(const FreeSpace& a, const FreeSpace& b) {
  if (a.z != b.z) return a.z < b.z;
  if (a.volume != b.volume) return a.volume > b.volume;
  return a.area > b.area;
}

bool hasNaN(const FreeSpace& s) {
  return std::isnan(s.z) || std::isnan(s.volume) || std::isnan(s.area);
}

void sortSpaces(std::vector<FreeSpace>& spaces) {
  // A lambda rather than the function's address, so that the sort inlines the comparison.
  const auto before = [](const FreeSpace& a, const FreeSpace& b) { return lowerFirst(a, b); };
  // A NaN breaks the strict weak order std::sort needs to stay in bounds.
  if (std::any_of(spaces.begin(), spaces.end(), hasNaN)) {
    std::stable_sort(spaces.begin(), spaces.end(), before);
  } else {
    std::sort(spaces.begin(), spaces.end(), before);
  }
}

std::vector<PlacedItem> itemsOf(const std::vector<Layer>& layers) {
  std::vector<PlacedItem> items;
  for (const Layer& layer : layers) {
    items.insert(items.end(), layer.items().begin(), layer.items().end());
  }
  return items;
}

bool takesNoneOf(const Region& region, const SortedTriple& smallest) {
  return takesNoneOf(Room(region.xEnd - region.x0, region.yEnd - region.y0, region.freeDepth),
                     smallest);
}

}  // namespace

std::vector<Layer> fillGaps(std::vector<Layer> layers, ItemStack& remaining, LayerFiller& filler,
                            double width, double length, double depth, bool untilAnItemIsLost) {
  // Nothing left to place: the spaces would be worked out for nothing.
  if (remaining.empty()) return layers;
  std::vector<PlacedItem> placed = itemsOf(layers);
  // A whole-box re-pack is lost once an item is; mostly that is clear before the spaces are listed.
  if (untilAnItemIsLost && someItemFitsNoFreeSpace(width, length, depth, placed, remaining)) {
    return layers;
  }
  std::vector<FreeSpace> spaces = freeSpaces(width, length, depth, placed);
  while (!remaining.empty() && !spaces.empty()) {
    // Spaces only shrink as items go in, so an item that fits none of them now never will.
    if (untilAnItemIsLost && someItemFitsNoSpace(remaining, spaces)) break;
    sortSpaces(spaces);
    // A space that no item fits, when no item would be dropped for weight either, would leave the
    // stack as it was: it is passed over without running its rows. Both facts hold for the whole
    // pass over the spaces, as long as no item is dropped (the stack only shrinks then).
    const SortedTriple smallest = smallestSides(remaining);
    bool mayPassOver = filler.dropsNothing(remaining, placed);
    Layer filled;
    for (const FreeSpace& s : spaces) {
      const Region region{s.x, s.y, s.z, s.x + s.width, s.y + s.length, s.depth, s.depth};
      if (mayPassOver && takesNoneOf(region, smallest)) continue;
      const std::size_t before = remaining.size();
      // Without the stability filter: what it kept out of the main layers may still fit here.
      filled = filler.fillLayer(remaining, placed, region, false);
      if (!filled.isEmpty()) break;
      if (remaining.size() != before) mayPassOver = filler.dropsNothing(remaining, placed);
    }
    if (filled.isEmpty()) break;
    spaces = subtractItems(std::move(spaces), filled.items());
    layers.push_back(std::move(filled));
  }
  return layers;
}

}  // namespace varbex
