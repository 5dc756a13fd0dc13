#include "orient/lookahead_cache.h"

#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace varbex {
namespace {

// Keys from a few next-items parts and a few candidates, so that parts are shared and answers
// repeat; the words of one part differ only in its last word.
LookaheadKey keyOf(int part, int candidate) {
  LookaheadKey key;
  key.words[0] = candidate;
  key.words[3] = -candidate;
  key.words[6] = 7;
  key.words[LookaheadKey::kWords - 1] = part;
  return key;
}

// The cache answers as a map over whole keys would: every key stored keeps its first answer,
// whichever question's handle asks, and a key never stored is not found, also for a part the
// cache has seen with other candidates.
TEST(LookaheadCacheTest, AnswersAsAMapOverWholeKeys) {
  LookaheadCache cache;
  std::map<std::pair<int, int>, std::int32_t> stored;
  std::vector<LookaheadCache::NextItemsPart> handles(6);
  std::mt19937 random(11);
  for (int step = 0; step < 4000; ++step) {
    const int part = static_cast<int>(random() % handles.size());
    const int candidate = static_cast<int>(random() % 8);
    const LookaheadKey key = keyOf(part, candidate);
    const std::uint64_t hash = LookaheadKeyHash::ofNextItems(key);
    // Each part asks through its own handle, as the candidates of one question do, or afresh.
    LookaheadCache::NextItemsPart fresh;
    LookaheadCache::NextItemsPart& handle = random() % 2 ? handles[part] : fresh;
    const std::int32_t* found = cache.find(key, hash, handle);
    const auto expected = stored.find({part, candidate});
    if (expected == stored.end()) {
      ASSERT_EQ(found, nullptr) << "step " << step;
      const auto answer = static_cast<std::int32_t>(random() % 8);
      cache.insert(key, answer, hash, handle);
      stored[{part, candidate}] = answer;
    } else {
      ASSERT_NE(found, nullptr) << "step " << step;
      EXPECT_EQ(*found, expected->second);
      // Inserting again keeps the first answer.
      cache.insert(key, expected->second + 1, hash, handle);
      const std::int32_t* again = cache.find(key);
      ASSERT_NE(again, nullptr) << "step " << step;
      EXPECT_EQ(*again, expected->second);
    }
    ASSERT_EQ(cache.size(), stored.size());
    if (step % 1000 == 999) {
      // Emptied, the cache forgets every part; handles that knew one must not find it again.
      cache.clear();
      stored.clear();
    }
  }
}

// A handle that learnt its part's number before the cache was emptied by a full insert must not
// lead the same question to an answer stored under another part afterwards.
TEST(LookaheadCacheTest, HandleOutlivesTheEmptyingOfAFullCache) {
  LookaheadCache cache;
  LookaheadCache::NextItemsPart handle;
  const LookaheadKey asked = keyOf(1, 1);
  const std::uint64_t hash = LookaheadKeyHash::ofNextItems(asked);
  cache.insert(asked, 4, hash, handle);
  ASSERT_NE(cache.find(asked, hash, handle), nullptr);
  for (std::int64_t i = 2; cache.size() < LookaheadCache::kMaxEntries; ++i) {
    cache.insert(keyOf(static_cast<int>(i % 5) + 2, static_cast<int>(i)), 0);
  }
  // The next new key empties the cache; its part (another) is numbered first afresh.
  const LookaheadKey other = keyOf(9, 1);
  cache.insert(other, 6);
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_EQ(cache.find(asked, hash, handle), nullptr);
  cache.insert(asked, 5, hash, handle);
  ASSERT_NE(cache.find(asked, hash, handle), nullptr);
  EXPECT_EQ(*cache.find(asked, hash, handle), 5);
  ASSERT_NE(cache.find(other), nullptr);
  EXPECT_EQ(*cache.find(other), 6);
  EXPECT_EQ(cache.size(), 2u);
}

}  // namespace
}  // namespace varbex
