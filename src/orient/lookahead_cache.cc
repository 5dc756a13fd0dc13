#include "orient/lookahead_cache.h"

#include <memory>

#include "orient/word_hash.h"

namespace varbex {
namespace {

thread_local std::unique_ptr<LookaheadCache> threadCache;

}  // namespace

std::uint64_t LookaheadKeyHash::ofNextItems(const LookaheadKey& key) {
  return foldWords(key.words.data() + kCandidateWords, key.words.size() - kCandidateWords);
}

std::uint64_t LookaheadKeyHash::withCandidate(const LookaheadKey& key,
                                              std::uint64_t nextItemsHash) {
  return foldWords(key.words.data(), kCandidateWords, nextItemsHash);
}

LookaheadCache& LookaheadCache::forThisThread() {
  if (!threadCache) threadCache = std::make_unique<LookaheadCache>();
  return *threadCache;
}

const LookaheadCache* existingLookaheadCache() { return threadCache.get(); }

void LookaheadCache::insert(const LookaheadKey& key, std::int32_t result, std::uint64_t hash) {
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_.insert(key, result, hash);
}

}  // namespace varbex
