#include "model/item_pool.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace varbex {
namespace {

ItemRef itemOf(double width, double length, double depth, std::string code = "A") {
  return std::make_shared<ConcreteItem>(code, code, width, length, depth, 0,
                                        RotationPolicy::BestFit);
}

ItemRef groupedOf(std::string group, std::string code = "A") {
  return std::make_shared<ConcreteLinkedItem>(
      ConcreteItem(code, code, 1, 1, 1, 0, RotationPolicy::BestFit), std::move(group));
}

PlacedItem placedOf(ItemRef item) {
  const double width = item->width(), length = item->length(), depth = item->depth();
  return PlacedItem(OrientedItem(std::move(item), width, length, depth, "WLD"), 0, 0, 0);
}

ItemPool poolOf(const std::vector<ItemRef>& items) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (const ItemRef& item : items) pool.add(item);
  return pool;
}

class CountingItemSorter final : public ItemSorter {
 public:
  std::int32_t compare(const Item& a, const Item& b) const override {
    ++calls;
    return DefaultItemSorter().compare(a, b);
  }
  mutable int calls = 0;
};

TEST(ItemPoolTest, RemovesOnlyThePlacedObjectAmongEqualItems) {
  const ItemRef first = itemOf(1, 2, 3, "same");
  const ItemRef second = itemOf(1, 2, 3, "same");
  ItemPool pool = poolOf({first, second});
  pool.removePlaced({placedOf(second)});
  ASSERT_EQ(pool.size(), 1u);
  EXPECT_EQ(pool.entries()[0], first);
  ASSERT_EQ(pool.sorted().size(), 1u);
  EXPECT_EQ(pool.sorted()[0], first);
}

TEST(ItemPoolTest, RemovesOneEntryPerPlacedItemKeepingTheOrder) {
  struct Case {
    const char* name;
    std::vector<int> pool;    // indexes into the items below
    std::vector<int> placed;  // indexes into the items below
    std::vector<int> left;
  };
  const Case kCases[] = {
      {"middle", {0, 1, 2}, {1}, {0, 2}},
      {"repeated_entry_first_match_only", {0, 0, 1}, {0}, {0, 1}},
      {"placed_twice_removes_twice", {0, 1, 0}, {0, 0}, {1}},
      {"unknown_item_ignored", {0, 1}, {3}, {0, 1}},
      {"several_in_any_order", {0, 1, 2, 3}, {3, 0}, {1, 2}},
      {"nothing_placed", {0, 1}, {}, {0, 1}},
      {"all", {2, 1}, {1, 2}, {}},
  };
  const std::vector<ItemRef> items = {itemOf(1, 1, 1, "a"), itemOf(2, 2, 2, "b"),
                                      itemOf(3, 3, 3, "c"), itemOf(4, 4, 4, "d")};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<ItemRef> entries;
    for (int i : c.pool) entries.push_back(items[i]);
    ItemPool pool = poolOf(entries);
    std::vector<PlacedItem> placed;
    for (int i : c.placed) placed.push_back(placedOf(items[i]));
    pool.removePlaced(placed);
    std::vector<ItemRef> expected;
    for (int i : c.left) expected.push_back(items[i]);
    EXPECT_EQ(pool.entries(), expected);
  }
}

TEST(ItemPoolTest, RemovalInvalidatesTheSortedView) {
  const ItemRef large = itemOf(3, 3, 3, "large");
  const ItemRef small = itemOf(1, 1, 1, "small");
  ItemPool pool = poolOf({small, large});
  ASSERT_EQ(pool.sorted(), (std::vector<ItemRef>{large, small}));
  pool.removePlaced({placedOf(large)});
  EXPECT_EQ(pool.sorted(), (std::vector<ItemRef>{small}));
}

TEST(ItemPoolTest, KeepsTheSortedViewWhenNothingWasRemoved) {
  auto sorter = std::make_shared<CountingItemSorter>();
  ItemPool pool(sorter);
  pool.add(itemOf(1, 1, 1, "small"));
  pool.add(itemOf(3, 3, 3, "large"));
  pool.sorted();
  const int afterFirst = sorter->calls;
  pool.removePlaced({placedOf(itemOf(3, 3, 3, "large"))});  // equal, but not in the pool
  EXPECT_EQ(pool.size(), 2u);
  pool.sorted();
  EXPECT_EQ(sorter->calls, afterFirst);
}

TEST(ItemPoolTest, CountsItemsPerBoxGroup) {
  const ItemPool pool = poolOf({groupedOf("a"), groupedOf("a"), itemOf(1, 1, 1), groupedOf("b")});
  const std::map<std::string, std::int32_t> expected = {{"a", 2}, {"b", 1}};
  EXPECT_EQ(pool.groupCounts(), expected);
  EXPECT_TRUE(pool.hasLinkedItems());
}

TEST(ItemPoolTest, CountsPlacedItemsPerBoxGroup) {
  const std::vector<PlacedItem> placed = {placedOf(groupedOf("a")), placedOf(groupedOf("a")),
                                          placedOf(itemOf(1, 1, 1)), placedOf(groupedOf("b"))};
  const std::map<std::string, std::int32_t> expected = {{"a", 2}, {"b", 1}};
  EXPECT_EQ(groupCounts(placed), expected);
  EXPECT_TRUE(groupCounts(std::vector<PlacedItem>{placedOf(itemOf(1, 1, 1))}).empty());
}

TEST(ItemPoolTest, HasNoGroupsWithoutLinkedItems) {
  const ItemPool pool = poolOf({itemOf(1, 1, 1), itemOf(2, 2, 2)});
  EXPECT_FALSE(pool.hasLinkedItems());
  EXPECT_TRUE(pool.groupCounts().empty());
  const ItemPool empty = poolOf({});
  EXPECT_FALSE(empty.hasLinkedItems());
  EXPECT_TRUE(empty.groupCounts().empty());
}

}  // namespace
}  // namespace varbex
