#include "solver/item_ranks.h"

#include <algorithm>
#include <cstddef>

#include "base/portable_sort.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"

namespace varbex {

ItemRanks::ItemRanks(const std::vector<ItemRef>& items) {
  if (std::any_of(items.begin(), items.end(), ItemKeys::isUnordered)) return;
  std::vector<const Item*> distinct;
  distinct.reserve(items.size());
  for (const ItemRef& item : items) distinct.push_back(item.get());
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

  const DefaultItemSorter order;
  portableSort(distinct.begin(), distinct.end(),
               [&order](const Item* a, const Item* b) { return order.compare(*a, *b) < 0; });
  std::uint32_t rank = 0;
  for (std::size_t k = 0; k < distinct.size(); ++k) {
    if (k > 0 && order.compare(*distinct[k - 1], *distinct[k]) < 0) ++rank;
    ranks_.emplace(distinct[k], rank);
  }
}

bool ItemRanks::sortInto(const std::vector<ItemRef>& items, std::vector<ItemRef>& sorted) const {
  if (ranks_.empty()) return false;
  struct Placed {
    std::uint32_t rank;
    const ItemRef* item;
  };
  std::vector<Placed> placed;
  placed.reserve(items.size());
  for (const ItemRef& item : items) {
    const auto found = ranks_.find(item.get());
    if (found == ranks_.end()) return false;
    placed.push_back(Placed{found->second, &item});
  }
  portableSort(placed.begin(), placed.end(),
               [](const Placed& a, const Placed& b) { return a.rank < b.rank; });
  sorted.clear();
  sorted.reserve(placed.size());
  for (const Placed& p : placed) sorted.push_back(*p.item);
  return true;
}

}  // namespace varbex
