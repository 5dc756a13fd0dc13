#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "model/item.h"

namespace varbex {

// Each item's rank in the default item order, found once for a set of items, so that a list of
// them can be sorted by comparing two integers instead of two groups, volumes, weights and codes.
// Items the order holds equal share a rank. Beside it, a number for the item's content (extents,
// weight and rotation policy, bit for bit), so that a content key is one word an item.
//
// Sorting by rank makes every comparison come out as the default order's own (a before b
// exactly when a's rank is lower), and the engine's sort moves elements by its comparisons
// alone, so it leaves the list in the very order an item pool of it is sorted in. That needs the
// order to be a strict weak order on the set: it compares group texts, volumes, weights and codes
// in turn, each totally ordered as long as no volume or weight is NaN. A set that holds such an
// item gets no ranks.
class ItemRanks {
 public:
  // The content number of an item with a value that is not a number: such items are told apart
  // by identity, so they have no content key.
  static constexpr std::uint32_t kNoContent = UINT32_MAX;

  ItemRanks() = default;  // knows no item
  explicit ItemRanks(const std::vector<ItemRef>& items);

  // `items` in the default item order, as an ItemPool of them in this order sorts them, and the
  // content number of each in that order; false (both left unspecified) when some item has no
  // rank.
  bool sortInto(const std::vector<ItemRef>& items, std::vector<ItemRef>& sorted,
                std::vector<std::uint32_t>& contents) const;

 private:
  struct Known {
    std::uint32_t rank;
    std::uint32_t content;
  };
  std::unordered_map<const Item*, Known> known_;
};

}  // namespace varbex
