#include "model/item_pool.h"

#include <algorithm>
#include <cmath>

namespace varbex {

bool ItemKeys::isUnordered(const ItemRef& item) {
  return std::isnan(item->volume()) || std::isnan(item->weight());
}

void ItemPool::removePlaced(const std::vector<PlacedItem>& placed) {
  for (const PlacedItem& p : placed) removeItem(p.item.get());
}

void ItemPool::removeItem(const Item* item) {
  const std::vector<ItemRef>& items = entries();
  const auto match = std::find_if(items.begin(), items.end(),
                                  [item](const ItemRef& entry) { return entry.get() == item; });
  if (match == items.end()) return;
  // Only an actual removal invalidates the sorted view.
  const auto offset = match - items.begin();
  std::vector<ItemRef>& editable = mutableEntries();
  editable.erase(editable.begin() + offset);
}

bool ItemPool::hasLinkedItems() const {
  return std::any_of(entries().begin(), entries().end(),
                     [](const ItemRef& item) { return boxGroupOf(*item) != nullptr; });
}

std::map<std::string, std::int32_t> ItemPool::groupCounts() const {
  std::map<std::string, std::int32_t> counts;
  for (const ItemRef& item : entries()) {
    if (const std::string* group = boxGroupOf(*item)) ++counts[*group];
  }
  return counts;
}

std::map<std::string, std::int32_t> groupCounts(const std::vector<PlacedItem>& placed) {
  std::map<std::string, std::int32_t> counts;
  for (const PlacedItem& p : placed) {
    if (const std::string* group = boxGroupOf(*p.item)) ++counts[*group];
  }
  return counts;
}

}  // namespace varbex
