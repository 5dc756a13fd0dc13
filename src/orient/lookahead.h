#pragma once

#include <cstdint>
#include <optional>

#include "model/item_pool.h"
#include "model/oriented_item.h"
#include "orient/lookahead_cache.h"
#include "orient/orientation_chooser.h"
#include "orient/trial_packer.h"

namespace varbex {

// What the ranking knows at the position where a candidate would be placed.
struct LookaheadQuestion {
  double freeWidth;
  double freeLength;
  double freeDepth;
  double rowLength;
  const ItemStack& nextItems;  // the last element is the next item
  // How the key's values are rounded: inline, or by the library's llround (the same numbers).
  bool keysRoundedInline = true;
};

// v x 1e6 rounded half away from zero, as the lookahead's keys hold their values.
std::int64_t lookaheadMicros(double value);

// The key of a question about one candidate: extents and next items rounded to 1e-6. The part
// that depends on the next items alone (words 6 on) is the same for every candidate of one
// question; `nextItemsPart`, when given, is a key of the same question to take it from.
LookaheadKey makeLookaheadKey(const LookaheadQuestion& question, const OrientedItem& candidate,
                              const LookaheadKey* nextItemsPart = nullptr);

// What every candidate of one question has in common, worked out for the first that needs it.
struct LookaheadShared {
  // The key of the candidate asked last: its next-items words hold for every candidate, which
  // write only their own words into it.
  std::optional<LookaheadKey> key;
  std::uint64_t nextItemsHash = 0;  // LookaheadKeyHash::ofNextItems of the key
  LookaheadCache::NextItemsPart part;  // how the cache numbers the next-items words
  std::optional<ItemPool> nextItems;          // the items looked at, in a sorted pool
  LookaheadCache* cache = nullptr;            // this thread's, once looked up
};

// How many of the next items (at most seven) the rest of the row beside the candidate and the
// space in front of the row take together, answered from this thread's cache when asked before.
// `shared`, when given, belongs to this question and is filled in as needed.
std::int32_t answerLookahead(const LookaheadQuestion& question, const OrientedItem& candidate,
                             const TrialPacker& packer, LookaheadShared* shared = nullptr);

}  // namespace varbex
