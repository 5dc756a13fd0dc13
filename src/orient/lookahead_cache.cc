#include "orient/lookahead_cache.h"

#include <memory>

namespace varbex {
namespace {

thread_local std::unique_ptr<LookaheadCache> threadCache;

}  // namespace

std::size_t LookaheadKeyHash::operator()(const LookaheadKey& key) const {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::int64_t word : key.words) {
    hash ^= static_cast<std::uint64_t>(word);
    hash *= 0x100000001b3ULL;
  }
  return static_cast<std::size_t>(hash);
}

LookaheadCache& LookaheadCache::forThisThread() {
  if (!threadCache) threadCache = std::make_unique<LookaheadCache>();
  return *threadCache;
}

const LookaheadCache* existingLookaheadCache() { return threadCache.get(); }

const std::int32_t* LookaheadCache::find(const LookaheadKey& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

void LookaheadCache::insert(const LookaheadKey& key, std::int32_t result) {
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_.emplace(key, result);
}

}  // namespace varbex
