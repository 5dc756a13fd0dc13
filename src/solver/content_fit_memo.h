#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "model/box.h"
#include "model/filled_box.h"
#include "model/item.h"

namespace varbex {

// Whole-box packings remembered by what the items are rather than which objects they are. A fill
// looks at its items' extents, weights and rotation policies, in its pool's order, and tells the
// objects apart only by comparing them with one another. So when another list of items has, in
// sorted order, the same content bit for bit (copies of one article swapped for one another), its
// fill places every position exactly as the remembered one did, with its own objects.
class ContentFitMemo {
 public:
  using Key = std::vector<std::uint64_t>;
  // What a re-pack reads of one item: its extents and weight bit for bit, and its rotation policy.
  using Content = std::array<std::uint64_t, 5>;

  // The item's content; false when a value is not a number.
  static bool contentOf(const Item& item, Content& content);

  // The key of a packing of `sorted` (a pool's sorted view) into `box`; nothing when a value is
  // not a number, since such items are told apart by identity.
  static std::optional<Key> keyOf(const std::vector<ItemRef>& sorted, const Box& box);
  // The same key told by content numbers (ItemRanks), one an item in sorted order: two lists get
  // equal keys exactly when keyOf gives them equal keys, and never one keyOf gives.
  static std::optional<Key> keyOfContents(const std::vector<std::uint32_t>& contents,
                                          const Box& box);

  // Nothing when the key is unknown; otherwise the remembered answer (no packing, or one) with
  // each placed position holding the item of `sorted` at that position.
  std::optional<std::optional<FilledBox>> find(const Key& key,
                                               const std::vector<ItemRef>& sorted) const;

  void insert(Key key, const std::vector<ItemRef>& sorted, const std::optional<FilledBox>& result);

 private:
  struct Entry {
    std::optional<FilledBox> packing;
    std::vector<std::size_t> positions;  // of each placed item, in the sorted list it came from
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };

  std::unordered_map<Key, Entry, KeyHash> entries_;
};

}  // namespace varbex
