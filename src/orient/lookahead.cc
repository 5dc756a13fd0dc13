#include "orient/lookahead.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <optional>

#include "model/box.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"

namespace varbex {
namespace {

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
  const std::size_t n = lookaheadItemsLookedAt(question);
  const ItemStackView next = question.nextItems;
  ItemPool pool(lookaheadItemOrder());
  pool.reserve(n);
  for (std::size_t i = 0; i < n; ++i) pool.add(next[next.size() - 1 - i]);
  pool.sorted();
  return pool;
}

}  // namespace

std::int64_t lookaheadMicros(double value) { return std::llround(value * 1000000); }

std::int32_t answerLookahead(const LookaheadQuestion& question, const OrientedItem& candidate,
                             const TrialPacker& packer, LookaheadShared* shared) {
  return answerLookaheadRoundedBy(question, candidate, packer, shared, MicrosByLlround{});
}

std::int32_t answerLookaheadForKey(const LookaheadQuestion& question,
                                   const OrientedItem& candidate, const TrialPacker& packer,
                                   LookaheadShared& shared) {
  const LookaheadKey& key = *shared.key;
  // Finding the thread's cache costs a call into the TLS machinery of a shared library.
  if (!shared.cache) shared.cache = &LookaheadCache::forThisThread();
  LookaheadCache& cache = *shared.cache;
  if (const std::int32_t* known = cache.find(key, shared.nextItemsHash, shared.part)) {
    return *known;
  }

  const std::size_t n = lookaheadItemsLookedAt(question);
  // A copy of a sorted pool of the same items sorts them as sorting them again would.
  if (!shared.nextItems) shared.nextItems = nextItemsPool(question);
  ItemPool pool = *shared.nextItems;

  const double rowSpan = rowSpanWith(question, candidate);
  fillAndRemove(question.freeWidth - candidate.width, rowSpan, question.freeDepth, pool, packer);
  fillAndRemove(question.freeWidth, question.freeLength - rowSpan, question.freeDepth, pool,
                packer);

  const auto result = static_cast<std::int32_t>(n - pool.size());
  cache.insert(key, result, shared.nextItemsHash, shared.part);
  return result;
}

}  // namespace varbex
