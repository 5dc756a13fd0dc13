#include "orient/lookahead.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <optional>

#include "model/box.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "orient/lookahead_shortcuts.h"

namespace varbex {
namespace {

constexpr std::size_t kMaxItemsLookedAt = 7;

std::size_t itemsLookedAt(const LookaheadQuestion& question) {
  return std::min(kMaxItemsLookedAt, question.nextItems.size());
}

double rowSpanWith(const LookaheadQuestion& question, const OrientedItem& candidate) {
  return std::max(question.rowLength, candidate.length);
}

// Fills one working volume from the pool and takes what it placed out of the pool. The volume
// lives only for this call, so it is lent to the filler without an owning reference.
void fillAndRemove(double width, double length, double depth, ItemPool& pool,
                   const TrialPacker& packer) {
  const WorkingVolume volume(width, length, depth);
  packer.packAndRemove(BoxRef(BoxRef(), &volume), pool);
}

// The item order of every lookahead pool; stateless, so one instance serves every thread.
std::shared_ptr<const ItemSorter> lookaheadItemOrder() {
  static const DefaultItemSorter kOrder;
  return std::shared_ptr<const ItemSorter>(std::shared_ptr<const ItemSorter>(), &kOrder);
}

// The items the question looks at, next item first, in a pool whose sorted view is made.
ItemPool nextItemsPool(const LookaheadQuestion& question) {
  const std::size_t n = itemsLookedAt(question);
  const ItemStack& next = question.nextItems;
  ItemPool pool(lookaheadItemOrder());
  pool.reserve(n);
  for (std::size_t i = 0; i < n; ++i) pool.add(next[next.size() - 1 - i]);
  pool.sorted();
  return pool;
}

// The words of the key that are the candidate's own (with the free space's), 0 to 5.
void setCandidateWords(LookaheadKey& key, const LookaheadQuestion& question,
                       const OrientedItem& candidate) {
  auto& w = key.words;
  const bool inl = question.keysRoundedInline;
  w[0] = microsWithShortcuts(question.freeWidth, inl);
  w[1] = microsWithShortcuts(question.freeLength, inl);
  w[2] = microsWithShortcuts(candidate.width, inl);
  w[3] = microsWithShortcuts(candidate.length, inl);
  w[4] = microsWithShortcuts(rowSpanWith(question, candidate), inl);
  w[5] = microsWithShortcuts(question.freeDepth, inl);
}

}  // namespace

std::int64_t lookaheadMicros(double value) { return std::llround(value * 1000000); }

LookaheadKey makeLookaheadKey(const LookaheadQuestion& question, const OrientedItem& candidate,
                              const LookaheadKey* nextItemsPart) {
  // Copied whole from the shared part, or built from zero: words past the n-th item stay 0.
  LookaheadKey key = nextItemsPart ? *nextItemsPart : LookaheadKey{};
  auto& w = key.words;
  if (!nextItemsPart) {
    const std::size_t n = itemsLookedAt(question);
    w[6] = static_cast<std::int64_t>(n);
    const ItemStack& next = question.nextItems;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = 7 + 5 * i;
      const bool inl = question.keysRoundedInline;
      withItemData(*next[next.size() - 1 - i], [&w, at, inl](const auto& item) {
        w[at] = microsWithShortcuts(item.width(), inl);
        w[at + 1] = microsWithShortcuts(item.length(), inl);
        w[at + 2] = microsWithShortcuts(item.depth(), inl);
        w[at + 3] = microsWithShortcuts(item.weight(), inl);
        w[at + 4] = static_cast<std::int64_t>(static_cast<std::int32_t>(item.rotationPolicy()));
      });
    }
  }
  setCandidateWords(key, question, candidate);
  return key;
}

std::int32_t answerLookahead(const LookaheadQuestion& question, const OrientedItem& candidate,
                             const TrialPacker& packer, LookaheadShared* shared) {
  std::optional<LookaheadShared> ownShared;
  if (!shared) shared = &ownShared.emplace();
  // The candidates of one question differ only in their own words: one key serves them all.
  if (!shared->key) {
    shared->key = makeLookaheadKey(question, candidate);
    shared->nextItemsHash = LookaheadKeyHash::ofNextItems(*shared->key);
  } else {
    setCandidateWords(*shared->key, question, candidate);
  }
  const LookaheadKey& key = *shared->key;
  // Finding the thread's cache costs a call into the TLS machinery of a shared library.
  if (!shared->cache) shared->cache = &LookaheadCache::forThisThread();
  LookaheadCache& cache = *shared->cache;
  if (const std::int32_t* known = cache.find(key, shared->nextItemsHash, shared->part)) {
    return *known;
  }

  const std::size_t n = itemsLookedAt(question);
  // A copy of a sorted pool of the same items sorts them as sorting them again would.
  if (!shared->nextItems) shared->nextItems = nextItemsPool(question);
  ItemPool pool = *shared->nextItems;

  const double rowSpan = rowSpanWith(question, candidate);
  fillAndRemove(question.freeWidth - candidate.width, rowSpan, question.freeDepth, pool, packer);
  fillAndRemove(question.freeWidth, question.freeLength - rowSpan, question.freeDepth, pool,
                packer);

  const auto result = static_cast<std::int32_t>(n - pool.size());
  cache.insert(key, result, shared->nextItemsHash, shared->part);
  return result;
}

}  // namespace varbex
