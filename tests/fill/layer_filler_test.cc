#include "fill/layer_filler.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layer_expectations.h"
#include "plain_layer_filler.h"

#include "model/box.h"
#include "model/item.h"

namespace varbex {
namespace {

ItemRef itemOf(double w, double l, double d, double weight = 1.0,
               RotationPolicy policy = RotationPolicy::Never, const char* code = "I") {
  return std::make_shared<ConcreteItem>(code, code, w, l, d, weight, policy);
}

BoxRef boxOf(double w, double l, double d, double maxWeight = -1, double emptyWeight = 0) {
  return std::make_shared<ConcreteBox>("B", w, l, d, maxWeight, emptyWeight, true);
}

Region regionOf(double w, double l, double freeDepth, double layerDepth = 0) {
  return Region{0, 0, 0, w, l, freeDepth, layerDepth};
}

PlacedItem placedAt(const ItemRef& item, double x, double y, double z) {
  return PlacedItem(OrientedItem(item, item->width(), item->length(), item->depth(), "WLD"), x, y,
                    z);
}

TEST(LayerFillerTest, EmptyStackGivesEmptyLayerAndTouchesNothing) {
  const BoxRef box = boxOf(10, 10, 10);
  PlainLayerFiller filler(box);
  ItemStack remaining;
  const ItemRef earlier = itemOf(1, 1, 1);
  std::vector<PlacedItem> placed{placedAt(earlier, 0, 0, 0)};
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
  EXPECT_TRUE(layer.isEmpty());
  EXPECT_EQ(layer.depth(), 0);
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].item, earlier);
}

TEST(LayerFillerTest, AppendsEveryItemItPlacesToPlaced) {
  const BoxRef box = boxOf(10, 10, 10);
  PlainLayerFiller filler(box);
  const ItemRef a = itemOf(5, 5, 5), b = itemOf(5, 5, 5);
  const ItemRef earlier = itemOf(1, 1, 1);
  std::vector<PlacedItem> placed{placedAt(earlier, 0, 0, 0)};
  ItemStack remaining = takenInOrder({a, b});
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
  expectLayer(layer, {{a, 0, 0, 0}, {b, 5, 0, 0}});
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[1].item, a);
  EXPECT_EQ(placed[2].item, b);
  EXPECT_TRUE(remaining.empty());
}

TEST(LayerFillerTest, WeighsEachItemAgainstWhatTheBoxCanStillCarry) {
  struct Case {
    const char* name;
    double maxWeight, emptyWeight;
    double alreadyHeld;  // weight of an item placed before the call
    double weight;
    bool placed;
  };
  const Case cases[] = {
      {"no_maximum_never_drops", -1, 0, 3, 1e12, true},
      {"capacity_zero_drops_positive", 0, 0, 0, 0.001, false},
      {"capacity_zero_takes_weightless", 0, 0, 0, 0, true},
      {"empty_box_heavier_than_maximum_takes_weightless", 5, 7, 0, 0, true},
      {"exactly_what_is_left", 10, 2, 3, 5, true},
      {"a_little_more_than_what_is_left", 10, 2, 3, 5.000001, false},
      // Already over the limit: even a weightless item is too heavy.
      {"nothing_left_at_all", 10, 2, 9, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BoxRef box = boxOf(10, 10, 10, c.maxWeight, c.emptyWeight);
    PlainLayerFiller filler(box);
    const ItemRef item = itemOf(2, 2, 2, c.weight);
    ItemStack remaining{item};
    std::vector<PlacedItem> placed{placedAt(itemOf(1, 1, 1, c.alreadyHeld), 8, 8, 8)};
    const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
    EXPECT_EQ(layer.items().size(), c.placed ? 1u : 0u);
    EXPECT_EQ(placed.size(), c.placed ? 2u : 1u);
    // Placed or dropped, it is off the stack.
    EXPECT_TRUE(remaining.empty());
  }
}

TEST(LayerFillerTest, WeighsAgainstItemsPlacedEarlierInTheSameCall) {
  const BoxRef box = boxOf(10, 10, 10, 8, 0);
  PlainLayerFiller filler(box);
  const ItemRef a = itemOf(2, 2, 2, 5), b = itemOf(2, 2, 2.5, 5), c = itemOf(2, 2, 2.25, 3);
  ItemStack remaining = takenInOrder({a, b, c});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
  // b would make 10: dropped for good; c makes exactly 8.
  expectLayer(layer, {{a, 0, 0, 0}, {c, 2, 0, 0}});
  EXPECT_TRUE(remaining.empty());
}

TEST(LayerFillerTest, CopiesOfAnItemThatDidNotFitAreSkippedWithIt) {
  // C, on top, is 12 x 5 x 5 and fits nowhere in 10 x 15. B has C's shape and would fit as
  // 5 x 12 x 5, but is skipped with C without being tried, so A takes the corner.
  const BoxRef box = boxOf(10, 15, 10);
  PlainLayerFiller filler(box);
  const ItemRef c = itemOf(12, 5, 5), b = itemOf(5, 12, 5), a = itemOf(5, 5, 5);
  ItemStack remaining = takenInOrder({c, b, a});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 15, 10), true);
  // Back on the stack after A, B is tried again beside it, this time as the last item.
  expectLayer(layer, {{a, 0, 0, 0}, {b, 5, 0, 0}});
  EXPECT_EQ(remaining, ItemStack{c});
}

TEST(LayerFillerTest, LastItemOfTheStackIsTriedEvenWithTheShapeThatDidNotFit) {
  // As above, but A has C's shape too. It is the last item on the stack, so it is still tried,
  // and fits as 5 x 12 x 5. C, taken next beside it, has A's shape but its own policy forbids
  // A's extents, so it keeps its own 12 x 5 x 5, which does not fit; B then takes A's extents.
  const BoxRef box = boxOf(10, 15, 10);
  PlainLayerFiller filler(box);
  const ItemRef c = itemOf(12, 5, 5), b = itemOf(5, 12, 5), a = itemOf(5, 12, 5);
  ItemStack remaining = takenInOrder({c, b, a});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 15, 10), true);
  expectLayer(layer, {{a, 0, 0, 0}, {b, 5, 0, 0}});
  EXPECT_EQ(layer.items()[1].width, 5);
  EXPECT_EQ(layer.items()[1].length, 12);
  EXPECT_EQ(remaining, ItemStack{c});
}

TEST(LayerFillerTest, NewRowIsOfferedTheSkippedItemsInTheOrderSkipped) {
  const BoxRef box = boxOf(10, 20, 10);
  PlainLayerFiller filler(box);
  const ItemRef p = itemOf(6, 5, 5), q = itemOf(5, 5, 5), r = itemOf(4.5, 5, 5), s = itemOf(4, 5, 5);
  ItemStack remaining = takenInOrder({p, q, r, s});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 20, 10), true);
  // Q and R do not fit the 4 left beside P; S does. The next row starts at y 5 with Q, then R.
  expectLayer(layer, {{p, 0, 0, 0}, {s, 6, 0, 0}, {q, 0, 5, 0}, {r, 5, 5, 0}});
  EXPECT_TRUE(remaining.empty());
}

TEST(LayerFillerTest, NewRowStartsAtTheLongestItemOfTheRow) {
  const BoxRef box = boxOf(10, 20, 10);
  PlainLayerFiller filler(box);
  const ItemRef a = itemOf(5, 3, 5), b = itemOf(5, 7, 5), c = itemOf(10, 2, 5);
  ItemStack remaining = takenInOrder({a, b, c});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 20, 10), true);
  expectLayer(layer, {{a, 0, 0, 0}, {b, 5, 0, 0}, {c, 0, 7, 0}});
}

TEST(LayerFillerTest, LayerEndsWithSkippedItemsBackOnTheStackInOrder) {
  const BoxRef box = boxOf(10, 10, 10);
  PlainLayerFiller filler(box);
  const ItemRef floor = itemOf(10, 10, 5);
  const ItemRef q = itemOf(3, 3, 3), r = itemOf(2, 2, 2), t = itemOf(3, 3, 3);
  ItemStack remaining = takenInOrder({floor, q, r, t});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
  expectLayer(layer, {{floor, 0, 0, 0}});
  // Q next, then R, then T: the order they had.
  EXPECT_EQ(remaining, takenInOrder({q, r, t}));
}

TEST(LayerFillerTest, DroppingTheLastItemForWeightReturnsTheSkippedOnes) {
  // P takes 6 of the 10 of width; Q (5 wide) waits in the skipped list; H, the last item, is
  // too heavy. Q comes back, still does not fit beside P, and opens the next row.
  const BoxRef box = boxOf(10, 10, 10, 10, 0);
  PlainLayerFiller filler(box);
  const ItemRef p = itemOf(6, 5, 5, 1), q = itemOf(5, 5, 5, 1), h = itemOf(1, 1, 1, 100);
  ItemStack remaining = takenInOrder({p, q, h});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
  expectLayer(layer, {{p, 0, 0, 0}, {q, 0, 5, 0}});
  EXPECT_TRUE(remaining.empty());
}

TEST(LayerFillerTest, DroppedItemsAreNotReturnedWhenTheLayerEnds) {
  const BoxRef box = boxOf(10, 10, 10, 10, 0);
  PlainLayerFiller filler(box);
  const ItemRef floor = itemOf(10, 10, 5, 1);
  const ItemRef q = itemOf(3, 3, 3, 1), heavy = itemOf(2, 2, 2, 50), r = itemOf(2, 2, 2, 1);
  ItemStack remaining = takenInOrder({floor, q, heavy, r});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
  expectLayer(layer, {{floor, 0, 0, 0}});
  EXPECT_EQ(remaining, takenInOrder({q, r}));
}

TEST(LayerFillerTest, OverrideIsPlacedAsGivenWithoutAFitCheck) {
  const BoxRef box = boxOf(10, 10, 10);
  PlainLayerFiller filler(box);
  const ItemRef big = itemOf(20, 20, 20);
  ItemStack remaining{big};
  std::vector<PlacedItem> placed;
  const Region region{1, 2, 3, 10, 10, 7, 0};
  // A code the Never policy would not allow, and extents larger than the region.
  const Layer layer =
      filler.fillLayer(remaining, placed, region, true, OrientedItem(big, 20, 20, 20, "LWD"));
  expectLayer(layer, {{big, 1, 2, 3}});
  EXPECT_EQ(layer.items()[0].orientation, "LWD");
  EXPECT_TRUE(remaining.empty());
}

TEST(LayerFillerTest, OverrideReplacesTheChoosersPick) {
  const BoxRef box = boxOf(10, 10, 10);
  const ItemRef item = itemOf(10, 5, 4, 1, RotationPolicy::BestFit);
  struct Case {
    const char* name;
    std::optional<OrientedItem> override;
    const char* want;
  };
  const Case cases[] = {
      // The chooser's own pick in a free 10 x 10 x 10: the smaller footprint of WDL.
      {"no_override", std::nullopt, "WDL"},
      {"override", OrientedItem(item, 5, 4, 10, "LDW"), "LDW"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlainLayerFiller filler(box);
    ItemStack remaining{item};
    std::vector<PlacedItem> placed;
    const Layer layer =
        filler.fillLayer(remaining, placed, regionOf(10, 10, 10), false, c.override);
    ASSERT_EQ(layer.items().size(), 1u);
    EXPECT_EQ(layer.items()[0].orientation, c.want);
  }
}

TEST(LayerFillerTest, OverrideAppliesOnlyToItsVeryItem) {
  const BoxRef box = boxOf(10, 10, 10);
  PlainLayerFiller filler(box);
  const ItemRef twin = itemOf(20, 20, 20), big = itemOf(20, 20, 20);
  ItemStack remaining = takenInOrder({twin, big});
  std::vector<PlacedItem> placed;
  const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true,
                                       OrientedItem(big, 20, 20, 20, "WLD"));
  // The twin of the same shape is asked like any item and skipped; the override's item is placed.
  expectLayer(layer, {{big, 0, 0, 0}});
  EXPECT_EQ(remaining, takenInOrder({twin}));
}

TEST(LayerFillerTest, StacksAboveItemsReachTheLayerTop) {
  struct Case {
    const char* name;
    double layerDepth;
    std::vector<ItemRef> items;  // in the order taken
    std::vector<Spot> want;
  };
  const ItemRef a = itemOf(5, 5, 6), b = itemOf(5, 5, 2), c = itemOf(5, 5, 4), d = itemOf(5, 5, 4);
  const ItemRef e = itemOf(5, 5, 7), f = itemOf(5, 5, 1);
  const ItemRef g = itemOf(5, 5, 5), h = itemOf(5, 5, 3);
  const Case cases[] = {
      // The first item sets the top: nothing goes on A though the region is 10 deep. B, 2 deep,
      // gets a stack of 6 - 2 = 4, which takes C; D then stands on the floor.
      {"first_item_gets_no_stack", 0, {a, b, c, d},
       {{a, 0, 0, 0}, {b, 5, 0, 0}, {c, 5, 0, 2}, {d, 10, 0, 0}}},
      // E is deeper than A: the top rises to 7 and E gets no stack; F goes beside it.
      {"deeper_item_gets_no_stack", 0, {a, e, f},
       {{a, 0, 0, 0}, {e, 5, 0, 0}, {f, 10, 0, 0}}},
      // A fixed depth of 8 gives the first item a stack of 3 as well.
      {"fixed_depth_stacks_the_first_item", 8, {g, h},
       {{g, 0, 0, 0}, {h, 0, 0, 5}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const BoxRef box = boxOf(20, 10, 10);
    PlainLayerFiller filler(box);
    ItemStack remaining = takenInOrder(k.items);
    std::vector<PlacedItem> placed;
    const Layer layer =
        filler.fillLayer(remaining, placed, regionOf(20, 10, 10, k.layerDepth), true);
    expectLayer(layer, k.want);
  }
}

TEST(LayerFillerTest, FillsTheGapBehindAShorterItem) {
  const ItemRef first5x8 = itemOf(5, 8, 5), short5x3 = itemOf(5, 3, 5), filler5x5 = itemOf(5, 5, 5);
  const ItemRef short5x3b = itemOf(5, 3, 5), long5x8 = itemOf(5, 8, 5), filler5x5b = itemOf(5, 5, 5);
  // Longer first: the 5 x 3 leaves a 5 x 5 gap behind it, which takes the 5 x 5.
  {
    SCOPED_TRACE("gap_behind_the_later_shorter_item");
    const BoxRef box = boxOf(10, 10, 10);
    PlainLayerFiller filler(box);
    ItemStack remaining = takenInOrder({first5x8, short5x3, filler5x5});
    std::vector<PlacedItem> placed;
    const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
    expectLayer(layer, {{first5x8, 0, 0, 0}, {short5x3, 5, 0, 0}, {filler5x5, 5, 3, 0}});
    EXPECT_TRUE(remaining.empty());
  }
  // Shorter first: the gap behind it appears only when the longer one is placed, and is not
  // revisited; the next row, 2 long, cannot take the 5 x 5.
  {
    SCOPED_TRACE("gap_behind_an_earlier_shorter_item_is_left");
    const BoxRef box = boxOf(10, 10, 10);
    PlainLayerFiller filler(box);
    ItemStack remaining = takenInOrder({short5x3b, long5x8, filler5x5b});
    std::vector<PlacedItem> placed;
    const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 10, 10), true);
    expectLayer(layer, {{short5x3b, 0, 0, 0}, {long5x8, 5, 0, 0}});
    EXPECT_EQ(remaining, takenInOrder({filler5x5b}));
  }
}

TEST(LayerFillerTest, ChooserSeesTheRestOfTheStackAsTheNextItems) {
  // In 10 x 7, a 4 x 3 x 1 alone is laid 3 x 4 (the smaller strip); with a copy coming it is
  // laid 4 x 3, whose grid holds more copies, and the copy follows in the same orientation.
  const BoxRef box = boxOf(10, 7, 5);
  const ItemRef item = itemOf(4, 3, 1, 1, RotationPolicy::KeepFlat);
  const ItemRef copy = itemOf(4, 3, 1, 1, RotationPolicy::KeepFlat);
  struct Case {
    const char* name;
    std::vector<ItemRef> items;
    std::vector<const char*> codes;
  };
  const Case cases[] = {
      {"alone", {item}, {"LWD"}},
      {"copy_coming", {item, copy}, {"WLD", "WLD"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlainLayerFiller filler(box);
    ItemStack remaining = takenInOrder(c.items);
    std::vector<PlacedItem> placed;
    const Layer layer = filler.fillLayer(remaining, placed, regionOf(10, 7, 5), true);
    ASSERT_EQ(layer.items().size(), c.codes.size());
    for (std::size_t i = 0; i < c.codes.size(); ++i) {
      EXPECT_EQ(layer.items()[i].orientation, c.codes[i]);
    }
  }
}

TEST(LayerFillerTest, StabilityFlagReachesTheChooser) {
  // A 1 x 1 x 4 post that could lie down in the box is not stood up with the check, and is
  // without it.
  const BoxRef box = boxOf(10, 10, 10);
  const ItemRef post = itemOf(1, 1, 4, 1, RotationPolicy::BestFit);
  struct Case {
    const char* name;
    bool checkStability;
    std::size_t placed;
  };
  const Case cases[] = {{"checked", true, 0}, {"unchecked", false, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlainLayerFiller filler(box);
    ItemStack remaining{post};
    std::vector<PlacedItem> placed;
    const Region onlyStanding{0, 0, 0, 1, 1, 10, 0};
    const Layer layer = filler.fillLayer(remaining, placed, onlyStanding, c.checkStability);
    EXPECT_EQ(layer.items().size(), c.placed);
  }
}

}  // namespace
}  // namespace varbex
