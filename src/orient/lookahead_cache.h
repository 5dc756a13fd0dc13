#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "orient/flat_memo.h"

namespace varbex {

// The rounded question a lookahead answers: free extents, the candidate, and up to seven next
// items. Built without allocation and compared as a whole.
struct LookaheadKey {
  static constexpr std::size_t kWords = 42;
  std::array<std::int64_t, kWords> words{};

  bool operator==(const LookaheadKey& other) const { return words == other.words; }
};

// FNV-1a folded over 64-bit words instead of bytes, the words that describe the next items (6 on)
// first: every candidate of one question shares them, so each candidate folds in only its own six.
struct LookaheadKeyHash {
  static constexpr std::size_t kCandidateWords = 6;
  static std::uint64_t ofNextItems(const LookaheadKey& key);
  static std::uint64_t withCandidate(const LookaheadKey& key, std::uint64_t nextItemsHash);
  std::size_t operator()(const LookaheadKey& key) const {
    return withCandidate(key, ofNextItems(key));
  }
};

// One per thread: lookahead answers reused across calls on the same thread, bounded in size.
class LookaheadCache {
 public:
  static constexpr std::size_t kMaxEntries = 262144;

  // This thread's cache, created on first use and released when the thread ends.
  static LookaheadCache& forThisThread();

  const std::int32_t* find(const LookaheadKey& key) const { return entries_.find(key); }
  // `hash` is the key's LookaheadKeyHash.
  const std::int32_t* find(const LookaheadKey& key, std::uint64_t hash) const {
    return entries_.find(key, hash);
  }
  // Inserts a new answer, first emptying the cache when it is full. A key already present keeps
  // its first answer.
  void insert(const LookaheadKey& key, std::int32_t result) {
    insert(key, result, LookaheadKeyHash()(key));
  }
  void insert(const LookaheadKey& key, std::int32_t result, std::uint64_t hash);
  std::size_t size() const { return entries_.size(); }
  void clear() { entries_.clear(); }

 private:
  FlatMemo<LookaheadKey, std::int32_t, LookaheadKeyHash> entries_;
};

// The calling thread's cache when it has one, without creating it.
const LookaheadCache* existingLookaheadCache();

}  // namespace varbex
