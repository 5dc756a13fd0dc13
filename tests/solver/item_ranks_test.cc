#include "solver/item_ranks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/item.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "solver/content_fit_memo.h"

namespace varbex {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Items drawn from few values, so that groups, volumes, weights, codes and whole contents tie
// often: equal volumes of other shapes, -0 against 0, infinities, repeated codes. An infinite
// side beside a zero one makes the volume NaN.
ItemRef randomItem(std::mt19937& random, bool infiniteSides) {
  const double sides[] = {0.0, -0.0, 1.0, 2.0, 3.0, 6.0, infiniteSides ? kInf : -2.0};
  const double weights[] = {0.0, -0.0, 0.5, 1.0, kInf};
  const char* codes[] = {"a", "b", "ab", "b"};
  const char* groups[] = {"", "", "g", "h"};
  auto pick = [&random](const auto& values) {
    return values[std::uniform_int_distribution<std::size_t>(0, std::size(values) - 1)(random)];
  };
  const RotationPolicy policies[] = {RotationPolicy::Never, RotationPolicy::KeepFlat,
                                     RotationPolicy::BestFit};
  ConcreteItem item(pick(codes), "ref", pick(sides), pick(sides), pick(sides), pick(weights),
                    pick(policies));
  const std::string group = pick(groups);
  if (group.empty()) return std::make_shared<ConcreteItem>(std::move(item));
  return std::make_shared<ConcreteLinkedItem>(std::move(item), group);
}

ItemPool poolOf(const std::vector<ItemRef>& items) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (const ItemRef& item : items) pool.add(item);
  return pool;
}

// Lists of up to 40 items, some objects listed twice, sorted by rank against an item pool's own
// sort, and their content keys against the keys the pool's view gives.
TEST(ItemRanks, SortLikeThePoolAndKeyLikeTheContent) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 3000; ++round) {
    std::vector<ItemRef> known;
    const int count = std::uniform_int_distribution<int>(1, 30)(random);
    const bool infiniteSides = round % 10 == 0;
    for (int k = 0; k < count; ++k) known.push_back(randomItem(random, infiniteSides));
    const ItemRanks ranks(known);
    std::vector<ItemRef> sorted;
    std::vector<std::uint32_t> contents;
    if (std::any_of(known.begin(), known.end(), ItemKeys::isUnordered)) {
      EXPECT_FALSE(ranks.sortInto(known, sorted, contents));
      continue;
    }
    const ConcreteBox box("box", 10, 10, 10, -1, 0, true);

    std::vector<std::vector<ItemRef>> lists(2);
    for (std::vector<ItemRef>& list : lists) {
      const int length = std::uniform_int_distribution<int>(0, 40)(random);
      for (int k = 0; k < length; ++k) {
        list.push_back(known[std::uniform_int_distribution<std::size_t>(0, known.size() - 1)(random)]);
      }
    }
    std::vector<std::optional<ContentFitMemo::Key>> plainKeys, rankedKeys;
    for (const std::vector<ItemRef>& list : lists) {
      ASSERT_TRUE(ranks.sortInto(list, sorted, contents));
      const ItemPool pool = poolOf(list);
      ASSERT_EQ(sorted, pool.sorted()) << "round " << round;
      plainKeys.push_back(ContentFitMemo::keyOf(pool.sorted(), box));
      rankedKeys.push_back(ContentFitMemo::keyOfContents(contents, box));
      ASSERT_EQ(plainKeys.back().has_value(), rankedKeys.back().has_value());
    }
    if (plainKeys[0] && plainKeys[1]) {
      EXPECT_EQ(*plainKeys[0] == *plainKeys[1], *rankedKeys[0] == *rankedKeys[1]);
      EXPECT_NE(*plainKeys[0], *rankedKeys[1]);
    }
  }
}

TEST(ItemRanks, NoRanksForANaNOrderKeyOrAnUnknownItem) {
  const ItemRef plain = std::make_shared<ConcreteItem>("a", "r", 1, 2, 3, 1, RotationPolicy::BestFit);
  const ItemRef nanWeight =
      std::make_shared<ConcreteItem>("b", "r", 1, 2, 3, std::nan(""), RotationPolicy::BestFit);
  std::vector<ItemRef> sorted;
  std::vector<std::uint32_t> contents;
  EXPECT_FALSE(ItemRanks({plain, nanWeight}).sortInto({plain}, sorted, contents));
  EXPECT_FALSE(ItemRanks({plain}).sortInto({plain, nanWeight}, sorted, contents));
  EXPECT_FALSE(ItemRanks().sortInto({}, sorted, contents));
}

}  // namespace
}  // namespace varbex
