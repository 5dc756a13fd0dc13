#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/flat_memo.h"
#include "model/box.h"
#include "model/item.h"

namespace varbex {

// The exact content of a quick trial fill's question: the volume's extents and, in the order the
// fill takes them, each item's extents, weight and rotation policy, all bit for bit.
struct TrialFillKey {
  static constexpr std::size_t kMaxItems = 7;
  static constexpr std::size_t kWords = 4 + 5 * kMaxItems;
  std::array<std::uint64_t, kWords> words{};

  bool operator==(const TrialFillKey& other) const { return words == other.words; }
};

struct TrialFillKeyHash {
  std::size_t operator()(const TrialFillKey& key) const;
};

// The key of a quick trial fill of `items` into `volume`, or nothing when the answer might depend
// on more than that content: more than seven items, a value that is not a number (items are then
// told apart by identity, not by shape), or a volume with a weight limit.
std::optional<TrialFillKey> trialFillKeyOf(const Box& volume, const std::vector<ItemRef>& items);

// One per thread: which of the items, by position, quick trial fills placed. Such a fill looks at
// the content in its key and nothing else (no codes, groups or memo of other calls), so the same
// key always places the same positions. Bounded: emptied when full.
class TrialFillMemo {
 public:
  static constexpr std::size_t kMaxEntries = 4096;  // about 1.3 MB of keys
  using Placed = std::uint8_t;  // bit k set: the item at position k was placed

  static TrialFillMemo& forThisThread();

  const Placed* find(const TrialFillKey& key) const { return entries_.find(key); }
  void insert(const TrialFillKey& key, Placed placed);
  std::size_t size() const { return entries_.size(); }

 private:
  FlatMemo<TrialFillKey, Placed, TrialFillKeyHash> entries_;
};

}  // namespace varbex
