#include "fill/gap_filler.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "layer_expectations.h"

#include "fill/layer_filler.h"
#include "model/box.h"
#include "model/item.h"
#include "model/layer.h"

namespace varbex {
namespace {

ItemRef itemOf(double w, double l, double d, RotationPolicy policy = RotationPolicy::Never) {
  return std::make_shared<ConcreteItem>("I", "I", w, l, d, 1.0, policy);
}

PlacedItem placedAt(double x, double y, double z, double w, double l, double d) {
  return PlacedItem(OrientedItem(itemOf(w, l, d), w, l, d, "WLD"), x, y, z);
}

// One layer per item, as a packing's layers would hold them.
std::vector<Layer> layersOf(const std::vector<PlacedItem>& items) {
  std::vector<Layer> layers;
  for (const PlacedItem& p : items) {
    Layer layer;
    layer.insert(p);
    layers.push_back(layer);
  }
  return layers;
}

const BoxRef kBox = std::make_shared<ConcreteBox>("B", 10, 10, 10, -1.0, 0.0, true);

TEST(GapFillerTest, NothingToPlaceLeavesTheLayersAsTheyWere) {
  LayerFiller filler(kBox, true, nullptr);
  ItemStack remaining;
  const std::vector<Layer> layers =
      fillGaps(layersOf({placedAt(0, 0, 0, 10, 10, 4)}), remaining, filler, 10, 10, 10);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0].items().size(), 1u);
}

TEST(GapFillerTest, NoSpaceTakesTheItemsLeavesEverythingAsItWas) {
  LayerFiller filler(kBox, true, nullptr);
  const ItemRef big = itemOf(6, 6, 6);
  ItemStack remaining{big};
  const std::vector<Layer> layers =
      fillGaps(layersOf({placedAt(0, 0, 0, 10, 10, 5)}), remaining, filler, 10, 10, 10);
  EXPECT_EQ(layers.size(), 1u);
  EXPECT_EQ(remaining, ItemStack{big});
}

// For a caller that needs every item placed: once an item fits no space, the pass gives up, with
// the layers and the stack as they stood; while every item still fits somewhere it fills gaps as
// it always does.
TEST(GapFillerTest, UntilAnItemIsLostStopsOnlyWhenAnItemFitsNowhere) {
  const std::vector<PlacedItem> floor = {placedAt(0, 0, 0, 10, 10, 5)};
  const ItemRef cube = itemOf(5, 5, 5);
  const ItemRef tooTall = itemOf(6, 6, 6);
  {
    LayerFiller filler(kBox, true, nullptr);
    ItemStack remaining{tooTall, cube};
    const std::vector<Layer> layers =
        fillGaps(layersOf(floor), remaining, filler, 10, 10, 10, true);
    EXPECT_EQ(layers.size(), 1u);
    EXPECT_EQ(remaining, (ItemStack{tooTall, cube}));
  }
  const ItemRef small = itemOf(2, 2, 2);
  ItemStack normal{small, cube};
  ItemStack wholeOrNothing = normal;
  LayerFiller normalFiller(kBox, true, nullptr);
  LayerFiller wholeFiller(kBox, true, nullptr);
  const std::vector<Layer> expected =
      fillGaps(layersOf(floor), normal, normalFiller, 10, 10, 10, false);
  const std::vector<Layer> got =
      fillGaps(layersOf(floor), wholeOrNothing, wholeFiller, 10, 10, 10, true);
  EXPECT_EQ(wholeOrNothing, normal);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    std::vector<Spot> spots;
    for (const PlacedItem& p : expected[i].items()) spots.push_back(Spot{p.item, p.x, p.y, p.z});
    expectLayer(got[i], spots);
  }
}

TEST(GapFillerTest, LowestSpaceIsFilledFirstUpToItsTop) {
  // The spaces come out as (0, 5, 6) 10 x 5 x 4 and then (0, 0, 3) 10 x 5 x 7; the lower one is
  // offered first. Its depth is the layer depth, so the 2-deep Z gets a stack that takes W.
  LayerFiller filler(kBox, true, nullptr);
  const ItemRef z = itemOf(2, 2, 2), w = itemOf(2, 2, 5);
  ItemStack remaining = takenInOrder({z, w});
  const std::vector<Layer> layers = fillGaps(
      layersOf({placedAt(0, 0, 0, 10, 5, 3), placedAt(0, 5, 0, 10, 5, 6)}), remaining, filler, 10,
      10, 10);
  ASSERT_EQ(layers.size(), 3u);
  expectLayer(layers[2], {{z, 0, 0, 3}, {w, 0, 0, 5}});
  EXPECT_TRUE(remaining.empty());
}

TEST(GapFillerTest, AtEqualHeightLargerVolumeThenLargerAreaFirst) {
  struct Case {
    const char* name;
    PlacedItem wall;
    Spot want;  // where the 1 x 1 x 1 goes
  };
  const ItemRef cube = itemOf(1, 1, 1);
  const Case cases[] = {
      // Left 3 x 10 x 10, right 5 x 10 x 10: the right one is larger.
      {"larger_volume", placedAt(3, 0, 0, 2, 10, 10), {cube, 5, 0, 0}},
      // Left 2 x 10 x 10 and, under the item, 8 x 10 x 2.5: both 200, the one below is wider.
      {"equal_volume_larger_area", placedAt(2, 0, 2.5, 8, 10, 7.5), {cube, 2, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LayerFiller filler(kBox, true, nullptr);
    ItemStack remaining{cube};
    const std::vector<Layer> layers =
        fillGaps(layersOf({c.wall}), remaining, filler, 10, 10, 10);
    ASSERT_EQ(layers.size(), 2u);
    expectLayer(layers[1], {c.want});
  }
}

TEST(GapFillerTest, EachSpaceThatTakesItemsBecomesALayerAndTheSpacesAreCutAgain) {
  // Z1 fills the right space exactly; Z2, tried there too, is back on the stack and goes into
  // the left space on the next round.
  LayerFiller filler(kBox, true, nullptr);
  const ItemRef z1 = itemOf(5, 10, 10), z2 = itemOf(3, 10, 10);
  ItemStack remaining = takenInOrder({z1, z2});
  const std::vector<Layer> layers =
      fillGaps(layersOf({placedAt(3, 0, 0, 2, 10, 10)}), remaining, filler, 10, 10, 10);
  ASSERT_EQ(layers.size(), 3u);
  expectLayer(layers[1], {{z1, 5, 0, 0}});
  expectLayer(layers[2], {{z2, 0, 0, 0}});
  EXPECT_TRUE(remaining.empty());
}

TEST(GapFillerTest, PlacesWithoutTheStabilityCheck) {
  // The only space is 1 x 1 x 10: the post stands in it, though it could lie elsewhere in a
  // 10 x 10 x 10 box.
  LayerFiller filler(kBox, true, nullptr);
  const ItemRef post = itemOf(1, 1, 4, RotationPolicy::BestFit);
  ItemStack remaining{post};
  const std::vector<Layer> layers = fillGaps(
      layersOf({placedAt(1, 0, 0, 9, 10, 10), placedAt(0, 1, 0, 1, 9, 10)}), remaining, filler, 10,
      10, 10);
  ASSERT_EQ(layers.size(), 3u);
  expectLayer(layers[2], {{post, 0, 0, 0}});
  EXPECT_EQ(layers[2].items()[0].orientation, "WLD");
}

}  // namespace
}  // namespace varbex
