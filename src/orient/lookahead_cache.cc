#include "orient/lookahead_cache.h"

#include <memory>

#include "orient/word_hash.h"

namespace varbex {
namespace {

thread_local std::unique_ptr<LookaheadCache> threadCache;

}  // namespace

std::size_t LookaheadKeyHash::operator()(const LookaheadKey& key) const {
  return foldWords(key.words.data(), key.words.size());
}

LookaheadCache& LookaheadCache::forThisThread() {
  if (!threadCache) threadCache = std::make_unique<LookaheadCache>();
  return *threadCache;
}

const LookaheadCache* existingLookaheadCache() { return threadCache.get(); }

void LookaheadCache::insert(const LookaheadKey& key, std::int32_t result) {
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_.insert(key, result);
}

}  // namespace varbex
