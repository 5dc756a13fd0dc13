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

// FNV-1a folded over 64-bit words instead of bytes.
struct LookaheadKeyHash {
  std::size_t operator()(const LookaheadKey& key) const;
};

// One per thread: lookahead answers reused across calls on the same thread, bounded in size.
class LookaheadCache {
 public:
  static constexpr std::size_t kMaxEntries = 262144;

  // This thread's cache, created on first use and released when the thread ends.
  static LookaheadCache& forThisThread();

  const std::int32_t* find(const LookaheadKey& key) const { return entries_.find(key); }
  // Inserts a new answer, first emptying the cache when it is full. A key already present keeps
  // its first answer.
  void insert(const LookaheadKey& key, std::int32_t result);
  std::size_t size() const { return entries_.size(); }
  void clear() { entries_.clear(); }

 private:
  FlatMemo<LookaheadKey, std::int32_t, LookaheadKeyHash> entries_;
};

// The calling thread's cache when it has one, without creating it.
const LookaheadCache* existingLookaheadCache();

}  // namespace varbex
