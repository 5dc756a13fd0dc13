#include "solver/item_ranks.h"

#include <algorithm>
#include <cstddef>
#include <map>

#include "base/portable_sort.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "solver/content_fit_memo.h"

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
  std::map<ContentFitMemo::Content, std::uint32_t> contents;
  std::uint32_t rank = 0;
  for (std::size_t k = 0; k < distinct.size(); ++k) {
    if (k > 0 && order.compare(*distinct[k - 1], *distinct[k]) < 0) ++rank;
    ContentFitMemo::Content content;
    std::uint32_t number = kNoContent;
    if (ContentFitMemo::contentOf(*distinct[k], content)) {
      number = contents.emplace(content, static_cast<std::uint32_t>(contents.size())).first->second;
    }
    known_.emplace(distinct[k], Known{rank, number});
  }
}

bool ItemRanks::sortInto(const std::vector<ItemRef>& items, std::vector<ItemRef>& sorted,
                         std::vector<std::uint32_t>& contents) const {
  if (known_.empty()) return false;
  struct Ranked {
    Known known;
    const ItemRef* item;
  };
  std::vector<Ranked> ranked;
  ranked.reserve(items.size());
  for (const ItemRef& item : items) {
    const auto found = known_.find(item.get());
    if (found == known_.end()) return false;
    ranked.push_back(Ranked{found->second, &item});
  }
  portableSort(ranked.begin(), ranked.end(),
               [](const Ranked& a, const Ranked& b) { return a.known.rank < b.known.rank; });
  sorted.clear();
  sorted.reserve(ranked.size());
  contents.clear();
  contents.reserve(ranked.size());
  for (const Ranked& r : ranked) {
    sorted.push_back(*r.item);
    contents.push_back(r.known.content);
  }
  return true;
}

}  // namespace varbex
