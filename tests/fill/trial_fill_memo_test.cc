#include "fill/trial_fill_memo.h"

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "fill/lookahead_packer_shortcuts.h"
#include "model/box.h"
#include "model/item.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "orient/trial_packer.h"

namespace varbex {
namespace {

ItemRef itemOf(const char* code, double w, double l, double d,
               RotationPolicy policy = RotationPolicy::BestFit, double weight = 1.0) {
  return std::make_shared<ConcreteItem>(code, code, w, l, d, weight, policy);
}

TEST(TrialFillMemoTest, KeyTellsContentNotObjects) {
  const WorkingVolume volume(10, 8, 6);
  const std::vector<ItemRef> items = {itemOf("A", 1, 2, 3), itemOf("B", 4, 5, 6)};
  const std::vector<ItemRef> copies = {itemOf("X", 1, 2, 3), itemOf("Y", 4, 5, 6)};
  ASSERT_TRUE(trialFillKeyOf(volume, items));
  EXPECT_EQ(*trialFillKeyOf(volume, items), *trialFillKeyOf(volume, copies));

  const std::vector<std::vector<ItemRef>> others = {
      {itemOf("A", 1, 2, 3)},                                                   // fewer items
      {itemOf("B", 4, 5, 6), itemOf("A", 1, 2, 3)},                             // other order
      {itemOf("A", 1, 2, 3), itemOf("B", 4, 5, 6.000000001)},                   // a hair deeper
      {itemOf("A", 1, 2, 3), itemOf("B", 4, 5, 6, RotationPolicy::Never)},      // other policy
      {itemOf("A", 1, 2, 3), itemOf("B", 4, 5, 6, RotationPolicy::BestFit, 2)},  // heavier
  };
  for (const std::vector<ItemRef>& other : others) {
    ASSERT_TRUE(trialFillKeyOf(volume, other));
    EXPECT_FALSE(*trialFillKeyOf(volume, items) == *trialFillKeyOf(volume, other));
  }
  EXPECT_FALSE(*trialFillKeyOf(volume, items) == *trialFillKeyOf(WorkingVolume(10, 8, 7), items));
}

TEST(TrialFillMemoTest, NoKeyWhereMoreThanContentCouldCount) {
  const WorkingVolume volume(10, 8, 6);
  const double nan = std::nan("");
  EXPECT_FALSE(trialFillKeyOf(volume, {itemOf("A", nan, 2, 3)}));
  EXPECT_FALSE(trialFillKeyOf(volume, {itemOf("A", 1, 2, 3, RotationPolicy::BestFit, nan)}));
  EXPECT_FALSE(trialFillKeyOf(WorkingVolume(nan, 8, 6), {itemOf("A", 1, 2, 3)}));
  std::vector<ItemRef> eight;
  for (int i = 0; i < 8; ++i) eight.push_back(itemOf("A", 1, 2, 3));
  EXPECT_FALSE(trialFillKeyOf(volume, eight));
  eight.pop_back();
  EXPECT_TRUE(trialFillKeyOf(volume, eight));
  const ConcreteBox limited("B", 10, 8, 6, 50, 0, true);
  EXPECT_FALSE(trialFillKeyOf(limited, {itemOf("A", 1, 2, 3)}));
}

// The pool as the plain way leaves it: a trial fill, then its items taken out.
std::vector<const Item*> leftByTrialPack(const BoxRef& volume, ItemPool pool) {
  const FilledBox filled = LookaheadPackerWithShortcuts().trialPack(volume, pool);
  pool.removePlaced(filled.items());
  std::vector<const Item*> left;
  for (const ItemRef& item : pool.entries()) left.push_back(item.get());
  return left;
}

std::vector<const Item*> leftByPackAndRemove(const BoxRef& volume, ItemPool pool) {
  LookaheadPackerWithShortcuts().packAndRemove(volume, pool);
  std::vector<const Item*> left;
  for (const ItemRef& item : pool.entries()) left.push_back(item.get());
  return left;
}

// The shortcuts (nothing fits, one item fits, a remembered fill) leave the pool as the fill would,
// also when the same content comes again in other objects.
TEST(TrialFillMemoTest, PackAndRemoveLeavesThePoolAsTheTrialFillDoes) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> side(1, 9);
  std::uniform_int_distribution<int> count(0, 7);
  std::uniform_int_distribution<int> policy(0, 2);
  const auto sorter = std::make_shared<DefaultItemSorter>();
  for (int trial = 0; trial < 400; ++trial) {
    const auto volume = std::make_shared<WorkingVolume>(side(random) + side(random),
                                                        side(random) + side(random), side(random));
    std::vector<std::array<double, 3>> shapes;
    std::vector<RotationPolicy> policies;
    const int n = count(random);
    for (int i = 0; i < n; ++i) {
      shapes.push_back({double(side(random)), double(side(random)), double(side(random))});
      policies.push_back(static_cast<RotationPolicy>(policy(random)));
    }
    // Twice the same content in new objects: the second time may come from the memo.
    for (int round = 0; round < 2; ++round) {
      std::vector<ItemRef> items;
      for (int i = 0; i < n; ++i) {
        items.push_back(itemOf("I", shapes[i][0], shapes[i][1], shapes[i][2], policies[i]));
      }
      ItemPool pool(sorter);
      for (const ItemRef& item : items) pool.add(item);
      SCOPED_TRACE(trial);
      EXPECT_EQ(leftByPackAndRemove(volume, pool), leftByTrialPack(volume, pool));
    }
  }
}

}  // namespace
}  // namespace varbex
