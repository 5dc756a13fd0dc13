#include "solver/solver.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/box_sorter.h"
#include "model/item_sorter.h"

namespace varbex {
namespace {

ItemRef itemOf(const std::string& code, double width, double length, double depth,
               double weight = 1) {
  return std::make_shared<ConcreteItem>(code, code, width, length, depth, weight,
                                        RotationPolicy::BestFit);
}

ItemRef linkedOf(const std::string& code, const std::string& group, double side = 1) {
  return std::make_shared<ConcreteLinkedItem>(
      ConcreteItem(code, code, side, side, side, 1, RotationPolicy::BestFit), group);
}

BoxRef boxOf(const std::string& reference, double width, double length, double depth,
             bool active = true) {
  return std::make_shared<ConcreteBox>(reference, width, length, depth, -1, 0, active);
}

ItemPool poolOf(const std::vector<ItemRef>& items) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (const ItemRef& item : items) pool.add(item);
  return pool;
}

BoxPool boxPoolOf(const std::vector<BoxRef>& boxes) {
  BoxPool pool(std::make_shared<DefaultBoxSorter>());
  for (const BoxRef& box : boxes) pool.add(box);
  return pool;
}

std::vector<std::string> codesOf(const std::vector<ItemRef>& items) {
  std::vector<std::string> codes;
  for (const ItemRef& item : items) codes.push_back(item->itemCode());
  return codes;
}

using Names = std::vector<std::string>;

TEST(SolverTest, GroupOrderCountsThenNameInByteOrder) {
  struct Case {
    const char* name;
    std::vector<ItemRef> items;
    Names order;
  };
  const Case cases[] = {
      {"most_items_first",
       {linkedOf("b1", "b"), linkedOf("a1", "a"), linkedOf("c1", "c"), linkedOf("b2", "b"),
        linkedOf("c2", "c"), linkedOf("a2", "a"), linkedOf("c3", "c"), linkedOf("b3", "b"),
        linkedOf("a3", "a"), linkedOf("c4", "c"), linkedOf("c5", "c")},
       {"c", "a", "b"}},
      // Upper case before lower case, and a proper prefix before the longer name.
      {"byte_order_with_prefix",
       {linkedOf("1", "ab"), linkedOf("2", "a"), linkedOf("3", "B"), linkedOf("4", "ab"),
        linkedOf("5", "a"), linkedOf("6", "B")},
       {"B", "a", "ab"}},
      {"ungrouped_items_do_not_count",
       {itemOf("u1", 1, 1, 1), itemOf("u2", 1, 1, 1), itemOf("u3", 1, 1, 1), linkedOf("g", "z")},
       {"z"}},
      {"no_groups", {itemOf("u", 1, 1, 1)}, {}},
      {"empty", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Solver::groupOrder(poolOf(c.items)), c.order);
  }
}

TEST(SolverTest, ItemsForGroupKeepsSortedOrderAndTheSorter) {
  // Sorted order: ungrouped (larger first), then group "a", then "a " and "b".
  const ItemPool items =
      poolOf({linkedOf("B1", "b"), itemOf("Small", 1, 1, 1), linkedOf("A2", "a", 2),
              linkedOf("Aspace", "a "), itemOf("Large", 3, 3, 3), linkedOf("A1", "a", 3),
              linkedOf("Upper", "A")});
  struct Case {
    const char* name;
    std::string group;
    bool includeUngrouped;
    Names codes;
  };
  const Case cases[] = {
      {"group_with_ungrouped", "a", true, {"Large", "Small", "A1", "A2"}},
      {"group_alone", "a", false, {"A1", "A2"}},
      {"name_matches_byte_for_byte", "a ", false, {"Aspace"}},
      {"unknown_group_with_ungrouped", "zz", true, {"Large", "Small"}},
      {"unknown_group_alone", "zz", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ItemPool pool = Solver::itemsForGroup(items, c.group, c.includeUngrouped);
    EXPECT_EQ(codesOf(pool.entries()), c.codes);
    EXPECT_EQ(pool.sorter(), items.sorter());
  }
}

TEST(SolverTest, EmptyRequestSucceedsWithNothing) {
  for (const bool withBox : {false, true}) {
    SCOPED_TRACE(withBox);
    const BoxPool boxes =
        withBox ? boxPoolOf({boxOf("Box", 10, 10, 10)}) : boxPoolOf({});
    const PackingOutcome outcome = Solver().solve(poolOf({}), boxes);
    EXPECT_TRUE(outcome.success);
    EXPECT_TRUE(outcome.filledBoxes.isEmpty());
    EXPECT_TRUE(outcome.unplacedItems.isEmpty());
  }
}

TEST(SolverTest, WithoutActiveBoxTypeEveryItemIsUnplaced) {
  const ItemPool items = poolOf({itemOf("S", 1, 1, 1), linkedOf("G", "g", 2), itemOf("L", 2, 2, 2)});
  struct Case {
    const char* name;
    std::vector<BoxRef> boxes;
  };
  const Case cases[] = {
      {"no_box_types", {}},
      {"only_inactive_types", {boxOf("Off", 10, 10, 10, false), boxOf("Off2", 5, 5, 5, false)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PackingOutcome outcome = Solver().solve(items, boxPoolOf(c.boxes));
    EXPECT_FALSE(outcome.success);
    EXPECT_TRUE(outcome.filledBoxes.isEmpty());
    EXPECT_EQ(codesOf(outcome.unplacedItems.sorted()), (Names{"L", "S", "G"}));
    // The unplaced items are ordered by the request's own sorter.
    EXPECT_EQ(outcome.unplacedItems.sorter(), items.sorter());
  }
}

TEST(SolverTest, InactiveBoxTypesAreLeftOut) {
  // The inactive box is the better fit, but only the active one may be used.
  const PackingOutcome outcome =
      Solver().solve(poolOf({itemOf("A", 5, 5, 5)}),
                     boxPoolOf({boxOf("Big", 20, 20, 20), boxOf("Exact", 5, 5, 5, false)}));
  EXPECT_TRUE(outcome.success);
  ASSERT_EQ(outcome.filledBoxes.size(), 1u);
  EXPECT_EQ(outcome.filledBoxes.entries()[0].box()->reference(), "Big");
}

TEST(SolverTest, UnplacedItemsMakeTheSolveFail) {
  // Every box is full, yet one cube is left over.
  const PackingOutcome outcome = Solver().solve(
      poolOf({itemOf("A", 10, 10, 10), itemOf("Huge", 11, 11, 11)}),
      boxPoolOf({boxOf("Box", 10, 10, 10)}));
  EXPECT_FALSE(outcome.success);
  EXPECT_EQ(outcome.filledBoxes.size(), 1u);
  EXPECT_EQ(codesOf(outcome.unplacedItems.entries()), (Names{"Huge"}));
}

// Half-box slabs, two to a 10 x 10 x 10 box: "H" weighs 100, the rest 1 each, so the first pass
// puts "H" with one light slab and leaves one slab alone in the last box. Balancing moves that
// light slab out of the heavy box into the last one, leaving "H" alone.
std::size_t itemsBesideHeavySlab(std::size_t boxCount) {
  std::vector<ItemRef> items{itemOf("H", 10, 10, 5, 100)};
  for (std::size_t k = 0; k + 2 < 2 * boxCount; ++k) {
    items.push_back(itemOf("L" + std::to_string(100 + k), 10, 10, 5, 1));
  }
  const PackingOutcome outcome =
      Solver().solve(poolOf(items), boxPoolOf({boxOf("Box", 10, 10, 10)}));
  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(outcome.filledBoxes.size(), boxCount);
  for (const FilledBox& box : outcome.filledBoxes.entries()) {
    for (const PlacedItem& placed : box.items()) {
      if (placed.item->itemCode() == "H") return box.itemCount() - 1;
    }
  }
  ADD_FAILURE() << "H not placed";
  return 0;
}

TEST(SolverTest, BalancesOnlyFromTwoToTwelveBoxes) {
  struct Case {
    std::size_t boxes;
    std::size_t besideHeavy;
  };
  const Case cases[] = {{2, 0}, {12, 0}, {13, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.boxes);
    EXPECT_EQ(itemsBesideHeavySlab(c.boxes), c.besideHeavy);
  }
}

TEST(SolverTest, StartPackingGroupsApartReplacesAFirstPassWithMoreBoxes) {
  // Two slabs of "north", one of "south" (a little thinner) and one ungrouped slab; two slabs
  // fill a box. The first pass puts the ungrouped slab with a north slab, then must split the
  // second north slab from the south one: three boxes. The start that begins with "south" packs
  // the ungrouped slab with it and both north slabs together: two boxes, so it wins.
  auto slab = [](const std::string& code, const std::string& group, double depth) -> ItemRef {
    return std::make_shared<ConcreteLinkedItem>(
        ConcreteItem(code, code, 10, 10, depth, 1, RotationPolicy::BestFit), group);
  };
  const ItemPool request = poolOf({itemOf("U", 10, 10, 5), slab("N1", "north", 5),
                                   slab("N2", "north", 5), slab("S1", "south", 4)});
  const PackingOutcome outcome = Solver().solve(request, boxPoolOf({boxOf("Box", 10, 10, 10)}));
  EXPECT_TRUE(outcome.success);
  ASSERT_EQ(outcome.filledBoxes.size(), 2u);
  std::vector<Names> contents;
  for (const FilledBox& box : outcome.filledBoxes.sorted()) {
    Names codes;
    for (const PlacedItem& placed : box.items()) codes.push_back(placed.item->itemCode());
    contents.push_back(codes);
  }
  EXPECT_EQ(contents, (std::vector<Names>{{"N1", "N2"}, {"U", "S1"}}));
}

}  // namespace
}  // namespace varbex
