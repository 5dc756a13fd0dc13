#include "base/flat_memo.h"

#include <cstddef>
#include <cstdint>

#include <gtest/gtest.h>

namespace varbex {
namespace {

struct Key {
  std::int64_t value;
  bool operator==(const Key& other) const { return value == other.value; }
};

struct SpreadHash {
  std::size_t operator()(const Key& key) const {
    return static_cast<std::size_t>(key.value) * 0x9e3779b97f4a7c15ULL;
  }
};

// Every key lands on the same slot and carries the same tag: only probing tells them apart.
struct CollidingHash {
  std::size_t operator()(const Key&) const { return 0x1234567800000005ULL; }
};

template <typename Hash>
void expectRemembersEveryKey(std::int64_t count) {
  FlatMemo<Key, std::int64_t, Hash> memo;
  for (std::int64_t i = 0; i < count; ++i) memo.insert(Key{i}, 3 * i);
  ASSERT_EQ(memo.size(), static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t* found = memo.find(Key{i});
    ASSERT_NE(found, nullptr) << i;
    EXPECT_EQ(*found, 3 * i);
  }
  EXPECT_EQ(memo.find(Key{count}), nullptr);
  EXPECT_EQ(memo.find(Key{-1}), nullptr);
}

TEST(FlatMemoTest, FindsEveryKeyThroughGrowthAndAcrossChunks) {
  // Well past the first table size (1024 slots) and several chunks of 1024 entries.
  expectRemembersEveryKey<SpreadHash>(5000);
}

TEST(FlatMemoTest, KeysOfTheSameHashAreToldApartByProbing) {
  expectRemembersEveryKey<CollidingHash>(300);
}

TEST(FlatMemoTest, KeyInsertedAgainKeepsItsFirstValue) {
  FlatMemo<Key, int, SpreadHash> memo;
  memo.insert(Key{7}, 1);
  memo.insert(Key{7}, 2);
  EXPECT_EQ(memo.size(), 1u);
  ASSERT_NE(memo.find(Key{7}), nullptr);
  EXPECT_EQ(*memo.find(Key{7}), 1);
}

TEST(FlatMemoTest, ClearForgetsEverythingAndTheMemoFillsAgain) {
  FlatMemo<Key, int, SpreadHash> memo;
  EXPECT_EQ(memo.find(Key{1}), nullptr);  // nothing allocated yet
  for (int i = 0; i < 3000; ++i) memo.insert(Key{i}, i);
  memo.clear();
  EXPECT_EQ(memo.size(), 0u);
  EXPECT_EQ(memo.find(Key{5}), nullptr);
  memo.insert(Key{5}, 50);
  memo.insert(Key{2999}, 7);
  EXPECT_EQ(memo.size(), 2u);
  EXPECT_EQ(*memo.find(Key{5}), 50);
  EXPECT_EQ(*memo.find(Key{2999}), 7);
  EXPECT_EQ(memo.find(Key{6}), nullptr);
}

}  // namespace
}  // namespace varbex
