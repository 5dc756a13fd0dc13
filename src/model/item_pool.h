#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/item.h"
#include "model/item_sorter.h"
#include "model/placed_item.h"
#include "model/sorted_collection.h"

namespace varbex {

struct ItemKeys {
  static const Item& of(const ItemRef& item) { return *item; }
  static bool isUnordered(const ItemRef& item);
};

// Items to pack, ordered by a shared ItemSorter.
class ItemPool : public SortedCollection<ItemRef, ItemSorter, ItemKeys> {
 public:
  using SortedCollection::SortedCollection;

  // Removes, for each placed item, the first entry that is that very item object.
  void removePlaced(const std::vector<PlacedItem>& placed);
  // Removes the first entry that is that very item object, if any.
  void removeItem(const Item* item);
  bool hasLinkedItems() const;
  std::map<std::string, std::int32_t> groupCounts() const;
};

// Box group -> number of linked items among the placed items.
std::map<std::string, std::int32_t> groupCounts(const std::vector<PlacedItem>& placed);

}  // namespace varbex
