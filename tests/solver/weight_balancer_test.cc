#include "solver/weight_balancer.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/box_sorter.h"
#include "model/packed_box_sorter.h"

namespace varbex {
namespace {

using Codes = std::vector<std::string>;

// Unit cubes unless said otherwise, so any few of them fit any box below.
ItemRef itemOf(const std::string& code, double weight, double side = 1) {
  return std::make_shared<ConcreteItem>(code, code, side, side, side, weight,
                                        RotationPolicy::BestFit);
}

// A 10 x 10 slab of the given depth: one layer of a 10-cube box.
ItemRef slabOf(const std::string& code, double weight, double depth) {
  return std::make_shared<ConcreteItem>(code, code, 10, 10, depth, weight,
                                        RotationPolicy::BestFit);
}

ItemRef groupedOf(const std::string& code, double weight) {
  return std::make_shared<ConcreteLinkedItem>(
      ConcreteItem(code, code, 1, 1, 1, weight, RotationPolicy::BestFit), "g");
}

BoxRef boxOf(const std::string& reference, double side, double maxWeight = -1,
             double emptyWeight = 0, bool active = true) {
  return std::make_shared<ConcreteBox>(reference, side, side, side, maxWeight, emptyWeight,
                                       active);
}

BoxRef limitedBoxOf(const std::string& reference, double side, std::int32_t maximumBoxes) {
  return std::make_shared<ConcreteLimitedSupplyBox>(
      ConcreteBox(reference, side, side, side, -1, 0, true), maximumBoxes);
}

BoxPool boxPoolOf(const std::vector<BoxRef>& boxes) {
  BoxPool pool(std::make_shared<DefaultBoxSorter>());
  for (const BoxRef& box : boxes) pool.add(box);
  return pool;
}

// A box holding the items in the given order, side by side along x.
FilledBox filledWith(const BoxRef& box, const std::vector<ItemRef>& items) {
  FilledBox filled(box);
  double x = 0;
  for (const ItemRef& item : items) {
    filled.addItem(PlacedItem(
        OrientedItem(item, item->width(), item->length(), item->depth(), "WLD"), x, 0, 0));
    x += item->width();
  }
  return filled;
}

// The codes of a box's items, sorted, since a re-packed box fixes its own order.
Codes codesIn(const FilledBox& box) {
  Codes codes;
  for (const PlacedItem& placed : box.items()) codes.push_back(placed.item->itemCode());
  std::sort(codes.begin(), codes.end());
  return codes;
}

const WeightBalancer::DeadlineTest kNoDeadline = [] { return false; };

TEST(WeightBalancerTest, MovesOnlyWhatNarrowsTheGapWithinTheTargetLoad) {
  const BoxRef box = boxOf("Box", 10);
  struct Case {
    const char* name;
    std::vector<ItemRef> heavy;
    std::vector<ItemRef> light;
    double target;
    bool moves;
    Codes heavyAfter;
    Codes lightAfter;
  };
  const Case cases[] = {
      // Loads 10 and 2: the 7 would lift the light box to 9, above 6; the 3 brings it to 5.
      {"three_moves", {itemOf("A", 7), itemOf("B", 3)}, {itemOf("C", 2)}, 6, true, {"A"},
       {"B", "C"}},
      {"five_would_pass_the_target", {itemOf("A", 5), itemOf("B", 5)}, {itemOf("C", 2)}, 6,
       false, {"A", "B"}, {"C"}},
      // Target 12: the 8 fits under it, but loads 2 and 10 are no closer than 10 and 2.
      {"eight_does_not_narrow", {itemOf("A", 8), groupedOf("G", 2)}, {itemOf("C", 2)}, 12,
       false, {"A", "G"}, {"C"}},
      // The grouped 3 would be the right move but grouped items stay put.
      {"grouped_item_stays", {groupedOf("G", 3), itemOf("A", 7)}, {itemOf("C", 2)}, 6, false,
       {"A", "G"}, {"C"}},
      // A target exactly reached still counts as within it.
      {"target_reached_exactly", {itemOf("A", 6), itemOf("B", 4)}, {itemOf("C", 2)}, 6, true,
       {"A"}, {"B", "C"}},
  };
  for (const Case& c : cases) {
    for (const bool heavyFirst : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (heavyFirst ? " heavy_first" : " light_first"));
      WeightBalancer balancer(boxPoolOf({box}));
      std::vector<FilledBox> work{filledWith(box, c.heavy), filledWith(box, c.light)};
      if (!heavyFirst) std::swap(work[0], work[1]);
      WeightBalancer::Available available{{box.get(), 100}};
      EXPECT_EQ(balancer.moveOneItem(work, 0, 1, c.target, available, kNoDeadline), c.moves);
      ASSERT_EQ(work.size(), 2u);
      EXPECT_EQ(codesIn(work[heavyFirst ? 0 : 1]), c.heavyAfter);
      EXPECT_EQ(codesIn(work[heavyFirst ? 1 : 0]), c.lightAfter);
      EXPECT_EQ(available.at(box.get()), 100);  // both boxes keep their type
    }
  }
}

TEST(WeightBalancerTest, TakesTheFirstItemInPlacementOrderThatRepacks) {
  const BoxRef box = boxOf("Box", 10);
  struct Case {
    const char* name;
    std::vector<ItemRef> heavy;
    Codes heavyAfter;
  };
  const Case cases[] = {
      {"first_of_two_equal", {itemOf("B1", 3), itemOf("B2", 3), itemOf("A", 4)}, {"A", "B2"}},
      {"order_as_placed", {itemOf("B2", 3), itemOf("B1", 3), itemOf("A", 4)}, {"A", "B1"}},
      // A slab 9.5 deep passes the weight tests but leaves no room for the light box's cube
      // (it still packs with the thin slab), so the next candidate goes.
      {"first_does_not_fit", {slabOf("Big", 3, 9.5), itemOf("B1", 3), slabOf("A", 4, 0.5)},
       {"A", "Big"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WeightBalancer balancer(boxPoolOf({box}));
    std::vector<FilledBox> work{filledWith(box, c.heavy), filledWith(box, {itemOf("C", 2)})};
    WeightBalancer::Available available{{box.get(), 100}};
    ASSERT_TRUE(balancer.moveOneItem(work, 0, 1, 6, available, kNoDeadline));
    EXPECT_EQ(codesIn(work[0]), c.heavyAfter);
    EXPECT_EQ(work[1].itemCount(), 2u);
  }
}

TEST(WeightBalancerTest, TotalWeightTellsWhichBoxGivesUpAnItem) {
  // The box holding 7 + 3 carries the larger load, but the other box weighs 9 empty and so is
  // the heavier one: only its item of 2 could move, and 2 + 10 is above the target.
  const BoxRef plain = boxOf("Plain", 10);
  const BoxRef heavyEmpty = boxOf("HeavyEmpty", 10, -1, 9);
  WeightBalancer balancer(boxPoolOf({plain, heavyEmpty}));
  std::vector<FilledBox> work{filledWith(plain, {itemOf("A", 7), itemOf("B", 3)}),
                              filledWith(heavyEmpty, {itemOf("C", 2)})};
  WeightBalancer::Available available{{plain.get(), 100}, {heavyEmpty.get(), 100}};
  EXPECT_FALSE(balancer.moveOneItem(work, 0, 1, 6, available, kNoDeadline));
  EXPECT_EQ(codesIn(work[0]), (Codes{"A", "B"}));
}

TEST(WeightBalancerTest, EmptyHeavierBoxHasNothingToGive) {
  const BoxRef heavyEmpty = boxOf("HeavyEmpty", 10, -1, 50);
  const BoxRef plain = boxOf("Plain", 10);
  WeightBalancer balancer(boxPoolOf({plain, heavyEmpty}));
  std::vector<FilledBox> work{FilledBox(heavyEmpty), filledWith(plain, {itemOf("C", 2)})};
  WeightBalancer::Available available{{plain.get(), 100}, {heavyEmpty.get(), 100}};
  EXPECT_FALSE(balancer.moveOneItem(work, 0, 1, 6, available, kNoDeadline));
}

TEST(WeightBalancerTest, DeadlineStopsBeforeAnyCandidate) {
  const BoxRef box = boxOf("Box", 10);
  WeightBalancer balancer(boxPoolOf({box}));
  std::vector<FilledBox> work{filledWith(box, {itemOf("A", 7), itemOf("B", 3)}),
                              filledWith(box, {itemOf("C", 2)})};
  WeightBalancer::Available available{{box.get(), 100}};
  int asked = 0;
  const WeightBalancer::DeadlineTest passed = [&asked] {
    ++asked;
    return true;
  };
  EXPECT_FALSE(balancer.moveOneItem(work, 0, 1, 6, available, passed));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(codesIn(work[0]), (Codes{"A", "B"}));
}

TEST(WeightBalancerTest, BoxLeftEmptyIsRemovedAndItsSupplyReturns) {
  // Only an item leaving a box alone can narrow the gap against a box of negative load: 3 and -2
  // become 0 and 1. Both boxes are of the limited type; the heavy one is given back.
  const BoxRef limited = limitedBoxOf("Limited", 10, 2);
  WeightBalancer balancer(boxPoolOf({limited}));
  std::vector<FilledBox> work{filledWith(limited, {itemOf("A", 3)}),
                              filledWith(limited, {itemOf("N", -2)})};
  WeightBalancer::Available available{{limited.get(), 0}};
  ASSERT_TRUE(balancer.moveOneItem(work, 0, 1, 6, available, kNoDeadline));
  ASSERT_EQ(work.size(), 1u);
  EXPECT_EQ(codesIn(work[0]), (Codes{"A", "N"}));
  EXPECT_EQ(work[0].box(), limited);
  EXPECT_EQ(available.at(limited.get()), 1);
}

TEST(WeightBalancerTest, LighterBoxMayMoveToASmallerType) {
  // The light box's two cubes fit the small type, tried first; what stays in the heavy box (a
  // 6-cube) does not, so that box keeps the large type.
  const BoxRef small = boxOf("Small", 5);
  const BoxRef large = boxOf("Large", 10);
  WeightBalancer balancer(boxPoolOf({large, small}));
  std::vector<FilledBox> work{filledWith(large, {itemOf("A", 7, 6), itemOf("B", 3)}),
                              filledWith(large, {itemOf("C", 2)})};
  WeightBalancer::Available available{{small.get(), 3}, {large.get(), 0}};
  ASSERT_TRUE(balancer.moveOneItem(work, 0, 1, 6, available, kNoDeadline));
  EXPECT_EQ(work[1].box(), small);
  EXPECT_EQ(codesIn(work[1]), (Codes{"B", "C"}));
  EXPECT_EQ(work[0].box(), large);
  EXPECT_EQ(codesIn(work[0]), (Codes{"A"}));
  EXPECT_EQ(available.at(small.get()), 2);
  EXPECT_EQ(available.at(large.get()), 1);
}

TEST(WeightBalancerTest, LimitedTypeInFullUseStillServesTheBoxGivingOneUp) {
  const BoxRef limited = limitedBoxOf("Limited", 10, 2);
  WeightBalancer balancer(boxPoolOf({limited}));
  std::vector<FilledBox> work{filledWith(limited, {itemOf("A", 7), itemOf("B", 3)}),
                              filledWith(limited, {itemOf("C", 2)})};
  WeightBalancer::Available available{{limited.get(), 0}};
  ASSERT_TRUE(balancer.moveOneItem(work, 0, 1, 6, available, kNoDeadline));
  EXPECT_EQ(codesIn(work[0]), (Codes{"A"}));
  EXPECT_EQ(codesIn(work[1]), (Codes{"B", "C"}));
  EXPECT_EQ(available.at(limited.get()), 0);
}

TEST(WeightBalancerTest, BoxForTakesTheSmallestUsableType) {
  const BoxRef off = boxOf("Off", 2, -1, 0, false);
  const BoxRef light = boxOf("Light", 3, 5);  // may carry 5
  const BoxRef spent = limitedBoxOf("Spent", 4, 1);
  const BoxRef large = boxOf("Large", 10);
  const std::vector<ItemRef> two{itemOf("A", 3), itemOf("B", 2)};
  const std::vector<ItemRef> heavier{itemOf("A", 3), itemOf("B", 2.5)};
  struct Case {
    const char* name;
    std::vector<ItemRef> items;
    const Box* preferred;
    WeightBalancer::Available counts;
    const char* chosen;  // nullptr: none
  };
  const Case cases[] = {
      {"inactive_skipped_weight_limit_reached", two, nullptr,
       {{off.get(), 9}, {light.get(), 9}, {spent.get(), 0}, {large.get(), 9}}, "Light"},
      {"over_the_weight_limit", heavier, nullptr,
       {{off.get(), 9}, {light.get(), 9}, {spent.get(), 0}, {large.get(), 9}}, "Large"},
      {"none_left_is_skipped_preferred_counts_one_more", heavier, spent.get(),
       {{off.get(), 9}, {light.get(), 9}, {spent.get(), 0}, {large.get(), 9}}, "Spent"},
      {"missing_from_the_counts_is_none_left", heavier, nullptr, {{large.get(), 1}}, "Large"},
      {"nothing_left_anywhere", two, nullptr, {{large.get(), 0}}, nullptr},
      {"too_big_for_every_type", {itemOf("Huge", 1, 11)}, nullptr, {{large.get(), 9}}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WeightBalancer balancer(boxPoolOf({large, spent, light, off}));
    const std::optional<FilledBox> found = balancer.boxFor(c.items, c.preferred, c.counts);
    if (c.chosen == nullptr) {
      EXPECT_FALSE(found.has_value());
      continue;
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->box()->reference(), c.chosen);
    EXPECT_EQ(found->itemCount(), c.items.size());
  }
}

TEST(WeightBalancerTest, FitsWholeOnlyWhenEveryItemIsPlaced) {
  const BoxRef box = boxOf("Box", 10);
  WeightBalancer balancer(boxPoolOf({box}));
  const std::vector<ItemRef> fit{itemOf("A", 1, 5), itemOf("B", 1, 5)};
  const std::vector<ItemRef> tooMany{itemOf("C", 1, 6), itemOf("D", 1, 6)};
  const std::optional<FilledBox> packed = balancer.fitsWhole(fit, box);
  ASSERT_TRUE(packed.has_value());
  EXPECT_EQ(codesIn(*packed), (Codes{"A", "B"}));
  EXPECT_FALSE(balancer.fitsWhole(tooMany, box).has_value());
  // Asked again, the remembered answers are the same.
  EXPECT_EQ(codesIn(*balancer.fitsWhole(fit, box)), (Codes{"A", "B"}));
  EXPECT_FALSE(balancer.fitsWhole(tooMany, box).has_value());
}

// An item the box can hold only turned (a "Never" item longer than the box is wide) still packs
// when another item lets the box be tried turned; an item that fits neither way never does.
TEST(WeightBalancerTest, FitsWholeTriesTheBoxTurnedBeforeGivingUpOnAnItem) {
  const BoxRef box = std::make_shared<ConcreteBox>("Flat", 10, 20, 5, -1, 0, true);
  WeightBalancer balancer(boxPoolOf({box}));
  const ItemRef lying = std::make_shared<ConcreteItem>("N", "N", 20, 10, 2, 1,
                                                       RotationPolicy::Never);
  const std::optional<FilledBox> packed = balancer.fitsWhole({lying, itemOf("C", 1)}, box);
  ASSERT_TRUE(packed.has_value());
  EXPECT_EQ(packed->itemCount(), 2u);
  const ItemRef tooLong = std::make_shared<ConcreteItem>("L", "L", 21, 1, 1, 1,
                                                         RotationPolicy::BestFit);
  EXPECT_FALSE(balancer.fitsWhole({tooLong, itemOf("D", 1)}, box).has_value());
}

// Copies of one article in other objects get the remembered packing, each position holding the
// new list's own item, exactly as packing them afresh would place them.
TEST(WeightBalancerTest, FitsWholeGivesCopiesThePackingOfTheirTwins) {
  const BoxRef box = boxOf("Box", 10);
  const auto list = [](const std::string& tag) {
    return std::vector<ItemRef>{itemOf("A" + tag, 2, 5), itemOf("B" + tag, 1, 4),
                                itemOf("C" + tag, 3, 3)};
  };
  WeightBalancer remembering(boxPoolOf({box}));
  ASSERT_TRUE(remembering.fitsWhole(list("1"), box).has_value());
  const std::vector<ItemRef> twins = list("2");
  const std::optional<FilledBox> reused = remembering.fitsWhole(twins, box);
  const std::optional<FilledBox> fresh = WeightBalancer(boxPoolOf({box})).fitsWhole(twins, box);
  ASSERT_TRUE(reused.has_value());
  ASSERT_TRUE(fresh.has_value());
  ASSERT_EQ(reused->itemCount(), fresh->itemCount());
  for (std::size_t i = 0; i < fresh->itemCount(); ++i) {
    const PlacedItem& a = reused->items()[i];
    const PlacedItem& b = fresh->items()[i];
    EXPECT_EQ(a.item, b.item);
    EXPECT_EQ(a.orientation, b.orientation);
    EXPECT_EQ(std::vector<double>({a.x, a.y, a.z, a.width, a.length, a.depth}),
              std::vector<double>({b.x, b.y, b.z, b.width, b.length, b.depth}));
  }
}

FilledBoxList listOf(std::vector<FilledBox> boxes) {
  FilledBoxList list(std::make_shared<DefaultPackedBoxSorter>());
  for (FilledBox& box : boxes) list.add(std::move(box));
  return list;
}

std::vector<Codes> contentsInEntryOrder(const FilledBoxList& list) {
  std::vector<Codes> contents;
  for (const FilledBox& box : list.entries()) contents.push_back(codesIn(box));
  return contents;
}

TEST(WeightBalancerTest, BalanceMovesUntilASweepFindsNothing) {
  // Loads 10 and 2 (target 6): the 3 moves; then 7 against 5 allows nothing more. The work list
  // keeps its places: the box that gave the item stays first.
  const BoxRef box = boxOf("Box", 10);
  WeightBalancer balancer(boxPoolOf({box}));
  const FilledBoxList result = balancer.balance(
      listOf({filledWith(box, {itemOf("C", 2)}), filledWith(box, {itemOf("A", 7), itemOf("B", 3)})}));
  EXPECT_EQ(contentsInEntryOrder(result), (std::vector<Codes>{{"A"}, {"B", "C"}}));
  // The new list orders its boxes by the packed-box order: more items first.
  EXPECT_EQ(codesIn(result.sorted().front()), (Codes{"B", "C"}));
}

TEST(WeightBalancerTest, BalanceWithoutMovesGivesTheBoxesHeaviestFirst) {
  const BoxRef box = boxOf("Box", 10);
  WeightBalancer balancer(boxPoolOf({box}));
  const FilledBoxList result =
      balancer.balance(listOf({filledWith(box, {groupedOf("One", 1)}),
                               filledWith(box, {groupedOf("Five", 5), groupedOf("Zero", 0)}),
                               filledWith(box, {groupedOf("Three", 3)})}));
  EXPECT_EQ(contentsInEntryOrder(result),
            (std::vector<Codes>{{"Five", "Zero"}, {"Three"}, {"One"}}));
}

TEST(WeightBalancerTest, BalanceCountsSupplyFromTheBoxesInUse) {
  // Two boxes of a type limited to two: the light box can change type only by giving its own box
  // back, and the heavy box keeps its type, so the move is still made.
  const BoxRef limited = limitedBoxOf("Limited", 10, 2);
  WeightBalancer balancer(boxPoolOf({limited}));
  const FilledBoxList result =
      balancer.balance(listOf({filledWith(limited, {itemOf("A", 7), itemOf("B", 3)}),
                               filledWith(limited, {itemOf("C", 2)})}));
  EXPECT_EQ(contentsInEntryOrder(result), (std::vector<Codes>{{"A"}, {"B", "C"}}));
}

TEST(WeightBalancerTest, BalanceOfAnEmptyListIsEmpty) {
  WeightBalancer balancer(boxPoolOf({boxOf("Box", 10)}));
  EXPECT_TRUE(balancer.balance(listOf({})).isEmpty());
}

}  // namespace
}  // namespace varbex
