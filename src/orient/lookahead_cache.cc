#include "orient/lookahead_cache.h"

#include <algorithm>
#include <memory>

#include "orient/word_hash.h"

namespace varbex {
namespace {

thread_local std::unique_ptr<LookaheadCache> threadCache;

constexpr std::size_t kFirstSlotCount = 1024;

std::uint64_t tagOf(std::uint64_t hash) { return hash & 0xffffffff00000000ULL; }
std::size_t entryIndexOf(std::uint64_t slot) { return static_cast<std::size_t>(slot & 0xffffffffULL) - 1; }

}  // namespace

std::size_t LookaheadKeyHash::operator()(const LookaheadKey& key) const {
  return foldWords(key.words.data(), key.words.size());
}

LookaheadCache& LookaheadCache::forThisThread() {
  if (!threadCache) threadCache = std::make_unique<LookaheadCache>();
  return *threadCache;
}

const LookaheadCache* existingLookaheadCache() { return threadCache.get(); }

std::size_t LookaheadCache::slotOf(const LookaheadKey& key, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const std::uint64_t tag = tagOf(hash);
  // The low bits pick the first slot and the high bits are the tag, so a tag match is rarely a
  // different key.
  for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
    const std::uint64_t slot = slots_[at];
    if (slot == 0) return at;
    if (tagOf(slot) == tag && entries_[entryIndexOf(slot)].key == key) return at;
  }
}

const std::int32_t* LookaheadCache::find(const LookaheadKey& key) const {
  if (entries_.empty()) return nullptr;
  const std::uint64_t slot = slots_[slotOf(key, LookaheadKeyHash{}(key))];
  return slot == 0 ? nullptr : &entries_[entryIndexOf(slot)].result;
}

void LookaheadCache::insert(const LookaheadKey& key, std::int32_t result) {
  if (entries_.size() >= kMaxEntries) clear();
  if (slots_.size() < 2 * (entries_.size() + 1)) grow();
  const std::uint64_t hash = LookaheadKeyHash{}(key);
  const std::size_t at = slotOf(key, hash);
  if (slots_[at] != 0) return;
  entries_.push_back(Entry{key, result});
  slots_[at] = tagOf(hash) | static_cast<std::uint64_t>(entries_.size());
}

void LookaheadCache::clear() {
  entries_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
}

void LookaheadCache::grow() {
  const std::size_t count = slots_.empty() ? kFirstSlotCount : 2 * slots_.size();
  slots_.assign(count, 0);
  const std::size_t mask = count - 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const std::uint64_t hash = LookaheadKeyHash{}(entries_[i].key);
    std::size_t at = static_cast<std::size_t>(hash) & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = tagOf(hash) | static_cast<std::uint64_t>(i + 1);
  }
}

}  // namespace varbex
