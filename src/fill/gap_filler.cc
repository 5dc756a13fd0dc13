#include "fill/gap_filler.h"

#include <algorithm>
#include <cmath>

#include "fill/free_space.h"

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
  // A NaN breaks the strict weak order std::sort needs to stay in bounds.
  if (std::any_of(spaces.begin(), spaces.end(), hasNaN)) {
    std::stable_sort(spaces.begin(), spaces.end(), lowerFirst);
  } else {
    std::sort(spaces.begin(), spaces.end(), lowerFirst);
  }
}

std::vector<PlacedItem> itemsOf(const std::vector<Layer>& layers) {
  std::vector<PlacedItem> items;
  for (const Layer& layer : layers) {
    items.insert(items.end(), layer.items().begin(), layer.items().end());
  }
  return items;
}

}  // namespace

std::vector<Layer> fillGaps(std::vector<Layer> layers, ItemStack& remaining, LayerFiller& filler,
                            double width, double length, double depth) {
  std::vector<PlacedItem> placed = itemsOf(layers);
  std::vector<FreeSpace> spaces = freeSpaces(width, length, depth, placed);
  while (!remaining.empty() && !spaces.empty()) {
    sortSpaces(spaces);
    Layer filled;
    for (const FreeSpace& s : spaces) {
      const Region region{s.x, s.y, s.z, s.x + s.width, s.y + s.length, s.depth, s.depth};
      // Without the stability filter: what it kept out of the main layers may still fit here.
      filled = filler.fillLayer(remaining, placed, region, false);
      if (!filled.isEmpty()) break;
    }
    if (filled.isEmpty()) break;
    spaces = subtractItems(std::move(spaces), filled.items());
    layers.push_back(std::move(filled));
  }
  return layers;
}

}  // namespace varbex
