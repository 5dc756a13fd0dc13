#include "model/sorted_collection.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/box_pool.h"
#include "model/filled_box_list.h"
#include "model/item_pool.h"

namespace varbex {
namespace {

ItemRef itemOf(double width, double length, double depth, std::string code = "A") {
  return std::make_shared<ConcreteItem>(code, code, width, length, depth, 0,
                                        RotationPolicy::BestFit);
}

// The default order, counting how often it is asked.
class CountingItemSorter final : public ItemSorter {
 public:
  std::int32_t compare(const Item& a, const Item& b) const override {
    ++calls;
    return DefaultItemSorter().compare(a, b);
  }
  mutable int calls = 0;
};

std::vector<std::string> codesOf(const std::vector<ItemRef>& items) {
  std::vector<std::string> codes;
  for (const ItemRef& item : items) codes.push_back(item->itemCode());
  return codes;
}

TEST(SortedCollectionTest, SortsOnlyWhenAskedAndOnlyOnce) {
  auto sorter = std::make_shared<CountingItemSorter>();
  ItemPool pool(sorter);
  pool.add(itemOf(1, 1, 1, "small"));
  pool.add(itemOf(3, 3, 3, "large"));
  pool.add(itemOf(2, 2, 2, "middle"));
  EXPECT_EQ(sorter->calls, 0);
  EXPECT_EQ(codesOf(pool.sorted()), (std::vector<std::string>{"large", "middle", "small"}));
  const int afterFirst = sorter->calls;
  EXPECT_GT(afterFirst, 0);
  const std::vector<ItemRef>* first = &pool.sorted();
  EXPECT_EQ(sorter->calls, afterFirst);
  EXPECT_EQ(first, &pool.sorted());
  // Insertion order stays as it was.
  EXPECT_EQ(codesOf(pool.entries()), (std::vector<std::string>{"small", "large", "middle"}));
}

TEST(SortedCollectionTest, AddAfterSortedIncludesTheNewElementInOrder) {
  auto sorter = std::make_shared<CountingItemSorter>();
  ItemPool pool(sorter);
  pool.add(itemOf(1, 1, 1, "small"));
  pool.add(itemOf(3, 3, 3, "large"));
  ASSERT_EQ(codesOf(pool.sorted()), (std::vector<std::string>{"large", "small"}));
  const int afterFirst = sorter->calls;
  pool.add(itemOf(2, 2, 2, "middle"));
  EXPECT_EQ(sorter->calls, afterFirst);
  EXPECT_EQ(codesOf(pool.sorted()), (std::vector<std::string>{"large", "middle", "small"}));
  EXPECT_GT(sorter->calls, afterFirst);
}

TEST(SortedCollectionTest, SortsAnEmptyCollectionToNothing) {
  const ItemPool items(std::make_shared<DefaultItemSorter>());
  EXPECT_TRUE(items.sorted().empty());
  EXPECT_TRUE(items.isEmpty());
  EXPECT_EQ(items.size(), 0u);
  const BoxPool boxes(std::make_shared<DefaultBoxSorter>());
  EXPECT_TRUE(boxes.sorted().empty());
  const FilledBoxList filled(std::make_shared<DefaultPackedBoxSorter>());
  EXPECT_TRUE(filled.sorted().empty());
}

TEST(SortedCollectionTest, CopySharesTheSorterButNotTheEntries) {
  auto sorter = std::make_shared<CountingItemSorter>();
  ItemPool pool(sorter);
  pool.add(itemOf(1, 1, 1, "small"));
  pool.add(itemOf(3, 3, 3, "large"));
  ItemPool copy = pool;
  EXPECT_EQ(copy.sorter(), pool.sorter());
  copy.add(itemOf(2, 2, 2, "middle"));
  EXPECT_EQ(pool.size(), 2u);
  EXPECT_EQ(codesOf(pool.sorted()), (std::vector<std::string>{"large", "small"}));
  EXPECT_EQ(codesOf(copy.sorted()), (std::vector<std::string>{"large", "middle", "small"}));
}

TEST(SortedCollectionTest, CopyOfASortedCollectionKeepsItsView) {
  auto sorter = std::make_shared<CountingItemSorter>();
  ItemPool pool(sorter);
  pool.add(itemOf(1, 1, 1, "small"));
  pool.add(itemOf(3, 3, 3, "large"));
  pool.sorted();
  const int afterFirst = sorter->calls;
  const ItemPool copy = pool;
  EXPECT_EQ(codesOf(copy.sorted()), (std::vector<std::string>{"large", "small"}));
  EXPECT_EQ(sorter->calls, afterFirst);
}

TEST(SortedCollectionTest, SortsBoxesWithTheBoxSorter) {
  BoxPool pool(std::make_shared<DefaultBoxSorter>());
  pool.add(std::make_shared<ConcreteBox>("big", 3, 3, 3, -1, 0, true));
  pool.add(std::make_shared<ConcreteBox>("small", 1, 1, 1, -1, 0, true));
  ASSERT_EQ(pool.sorted().size(), 2u);
  EXPECT_EQ(pool.sorted()[0]->reference(), "small");
  EXPECT_EQ(pool.sorted()[1]->reference(), "big");
}

TEST(SortedCollectionTest, SortsElementsWithNanKeysIntoAPermutation) {
  // Keys that break a strict weak order must not make the sort lose, repeat or invent elements.
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (int i = 0; i < 64; ++i) {
    const double side = i % 3 == 0 ? std::nan("") : static_cast<double>(i % 7 + 1);
    pool.add(itemOf(side, 1, 1, "I" + std::to_string(i)));
  }
  std::vector<std::string> sortedCodes = codesOf(pool.sorted());
  std::vector<std::string> entryCodes = codesOf(pool.entries());
  std::sort(sortedCodes.begin(), sortedCodes.end());
  std::sort(entryCodes.begin(), entryCodes.end());
  EXPECT_EQ(sortedCodes, entryCodes);
}

}  // namespace
}  // namespace varbex
