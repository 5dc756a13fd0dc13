#include "fill/gap_filler.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/portable_sort.h"
#include "base/portable_stable_sort.h"

namespace varbex {
namespace {

bool hasNaN(const FreeSpace& s) {
  return std::isnan(s.z) || std::isnan(s.volume) || std::isnan(s.area);
}

// Offers the spaces, in order, until one takes an item; the layer it became, or an empty one.
Layer fillFirstTaker(const std::vector<FreeSpace>& spaces, ItemStack& remaining,
                     std::vector<PlacedItem>& placed, LayerFiller& filler) {
  for (const FreeSpace& s : spaces) {
    // Without the stability filter: what it kept out of the main layers may still fit here.
    Layer filled = filler.fillLayer(remaining, placed, regionOf(s), false);
    if (!filled.isEmpty()) return filled;
  }
  return Layer();
}

}  // namespace

bool offeredBefore(const FreeSpace& a, const FreeSpace& b) {
  if (a.z != b.z) return a.z < b.z;
  if (a.volume != b.volume) return a.volume > b.volume;
  return a.area > b.area;
}

void sortSpaces(std::vector<FreeSpace>& spaces) {
  // A lambda rather than the function's address, so that the sort inlines the comparison.
  const auto before = [](const FreeSpace& a, const FreeSpace& b) { return offeredBefore(a, b); };
  // A NaN breaks the strict weak order; such spaces take the merge sort's order, which the
  // answers for them follow.
  if (std::any_of(spaces.begin(), spaces.end(), hasNaN)) {
    portableStableSort(spaces.begin(), spaces.end(), before);
  } else {
    portableSort(spaces.begin(), spaces.end(), before);
  }
}

std::vector<PlacedItem> itemsOf(const std::vector<Layer>& layers, std::size_t count) {
  std::vector<PlacedItem> items;
  for (std::size_t i = 0; i < count; ++i) {
    items.insert(items.end(), layers[i].items().begin(), layers[i].items().end());
  }
  return items;
}

Region regionOf(const FreeSpace& s) {
  return Region{s.x, s.y, s.z, s.x + s.width, s.y + s.length, s.depth, s.depth};
}

std::vector<Layer> fillGaps(std::vector<Layer> layers, ItemStack& remaining, LayerFiller& filler,
                            double width, double length, double depth) {
  // Nothing left to place: the spaces would be worked out for nothing.
  if (remaining.empty()) return layers;
  std::vector<PlacedItem> placed = itemsOf(layers, layers.size());
  std::vector<FreeSpace> spaces = freeSpaces(width, length, depth, placed);
  while (!remaining.empty() && !spaces.empty()) {
    sortSpaces(spaces);
    Layer filled = fillFirstTaker(spaces, remaining, placed, filler);
    if (filled.isEmpty()) break;
    spaces = subtractItems(std::move(spaces), filled.items());
    layers.push_back(std::move(filled));
  }
  return layers;
}

}  // namespace varbex
