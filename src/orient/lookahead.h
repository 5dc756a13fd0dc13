#pragma once

#include <cstdint>
#include <optional>

#include "model/item_pool.h"
#include "model/oriented_item.h"
#include "orient/lookahead_cache.h"
#include "orient/lookahead_key.h"
#include "orient/trial_packer.h"

namespace varbex {

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

// answerLookahead with the key's values rounded by `micros`, which must give lookaheadMicros's
// numbers.
template <typename Micros>
std::int32_t answerLookaheadRoundedBy(const LookaheadQuestion& question,
                                      const OrientedItem& candidate, const TrialPacker& packer,
                                      LookaheadShared* shared, Micros micros);

// The answer for the key `shared` holds, which is the candidate's.
std::int32_t answerLookaheadForKey(const LookaheadQuestion& question,
                                   const OrientedItem& candidate, const TrialPacker& packer,
                                   LookaheadShared& shared);

template <typename Micros>
std::int32_t answerLookaheadRoundedBy(const LookaheadQuestion& question,
                                      const OrientedItem& candidate, const TrialPacker& packer,
                                      LookaheadShared* shared, Micros micros) {
  std::optional<LookaheadShared> ownShared;
  if (!shared) shared = &ownShared.emplace();
  // The candidates of one question differ only in their own words: one key serves them all.
  if (!shared->key) {
    shared->key = makeLookaheadKey(question, candidate, nullptr, micros);
    shared->nextItemsHash = LookaheadKeyHash::ofNextItems(*shared->key);
  } else {
    writeCandidateWords(*shared->key, question, candidate, micros);
  }
  return answerLookaheadForKey(question, candidate, packer, *shared);
}

}  // namespace varbex
