#include "fill/gap_filler.h"

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "layer_expectations.h"
#include "plain_layer_filler.h"

#include "fill/free_space_shortcuts.h"
#include "fill/gap_filler_shortcuts.h"
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

// The same items in the same places, layer by layer.
void expectSameLayers(const std::vector<Layer>& got, const std::vector<Layer>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    std::vector<Spot> spots;
    for (const PlacedItem& p : want[i].items()) spots.push_back(Spot{p.item, p.x, p.y, p.z});
    expectLayer(got[i], spots);
  }
}

const BoxRef kBox = std::make_shared<ConcreteBox>("B", 10, 10, 10, -1.0, 0.0, true);

TEST(GapFillerTest, NothingToPlaceLeavesTheLayersAsTheyWere) {
  PlainLayerFiller filler(kBox);
  ItemStack remaining;
  const std::vector<Layer> layers =
      fillGaps(layersOf({placedAt(0, 0, 0, 10, 10, 4)}), remaining, filler, 10, 10, 10);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0].items().size(), 1u);
}

TEST(GapFillerTest, NoSpaceTakesTheItemsLeavesEverythingAsItWas) {
  PlainLayerFiller filler(kBox);
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
    PlainLayerFiller filler(kBox);
    ItemStack remaining{tooTall, cube};
    const std::vector<Layer> layers =
        fillGapsWithShortcuts(layersOf(floor), remaining, filler, 10, 10, 10, true, {});
    EXPECT_EQ(layers.size(), 1u);
    EXPECT_EQ(remaining, (ItemStack{tooTall, cube}));
  }
  const ItemRef small = itemOf(2, 2, 2);
  ItemStack normal{small, cube};
  ItemStack wholeOrNothing = normal;
  PlainLayerFiller normalFiller(kBox);
  PlainLayerFiller wholeFiller(kBox);
  const std::vector<Layer> expected =
      fillGapsWithShortcuts(layersOf(floor), normal, normalFiller, 10, 10, 10, false, {});
  const std::vector<Layer> got =
      fillGapsWithShortcuts(layersOf(floor), wholeOrNothing, wholeFiller, 10, 10, 10, true, {});
  EXPECT_EQ(wholeOrNothing, normal);
  expectSameLayers(got, expected);
}

TEST(GapFillerTest, LowestSpaceIsFilledFirstUpToItsTop) {
  // The spaces come out as (0, 5, 6) 10 x 5 x 4 and then (0, 0, 3) 10 x 5 x 7; the lower one is
  // offered first. Its depth is the layer depth, so the 2-deep Z gets a stack that takes W.
  PlainLayerFiller filler(kBox);
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
    PlainLayerFiller filler(kBox);
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
  PlainLayerFiller filler(kBox);
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
  PlainLayerFiller filler(kBox);
  const ItemRef post = itemOf(1, 1, 4, RotationPolicy::BestFit);
  ItemStack remaining{post};
  const std::vector<Layer> layers = fillGaps(
      layersOf({placedAt(1, 0, 0, 9, 10, 10), placedAt(0, 1, 0, 1, 9, 10)}), remaining, filler, 10,
      10, 10);
  ASSERT_EQ(layers.size(), 3u);
  expectLayer(layers[2], {{post, 0, 0, 0}});
  EXPECT_EQ(layers[2].items()[0].orientation, "WLD");
}


// The pass written plainly: every space listed, sorted with std::sort (whose order among tied
// spaces is the one fillGaps must reproduce) and offered in turn.
std::vector<Layer> plainFillGaps(std::vector<Layer> layers, ItemStack& remaining,
                                 LayerFiller& filler, double width, double length, double depth,
                                 bool untilAnItemIsLost) {
  std::vector<PlacedItem> placed;
  for (const Layer& layer : layers) {
    placed.insert(placed.end(), layer.items().begin(), layer.items().end());
  }
  std::vector<FreeSpace> spaces = freeSpaces(width, length, depth, placed);
  while (!remaining.empty() && !spaces.empty()) {
    if (untilAnItemIsLost && someItemFitsNoSpace(remaining, spaces, 0)) break;
    std::sort(spaces.begin(), spaces.end(), [](const FreeSpace& a, const FreeSpace& b) {
      if (a.z != b.z) return a.z < b.z;
      if (a.volume != b.volume) return a.volume > b.volume;
      return a.area > b.area;
    });
    Layer filled;
    for (const FreeSpace& s : spaces) {
      const Region region{s.x, s.y, s.z, s.x + s.width, s.y + s.length, s.depth, s.depth};
      filled = filler.fillLayer(remaining, placed, region, false);
      if (!filled.isEmpty()) break;
    }
    if (filled.isEmpty()) break;
    spaces = subtractItems(std::move(spaces), filled.items());
    layers.push_back(std::move(filled));
  }
  return layers;
}

// Main layers of random items, as a trial packing builds them, and the items they left. Sides
// are whole or half units, so that many spaces tie in the order. Weighed, the box carries little
// more than the main layers: heavier items left are dropped while the gaps are filled.
struct GapCase {
  BoxRef box;
  std::vector<Layer> layers;
  ItemStack remaining;
};

GapCase randomGapCase(std::mt19937& random, bool weighed) {
  std::uniform_int_distribution<int> halves(1, 10);
  std::uniform_int_distribution<int> policies(0, 2);
  std::uniform_int_distribution<int> counts(10, 60);
  std::vector<ItemRef> items;
  for (int i = counts(random); i > 0; --i) {
    items.push_back(std::make_shared<ConcreteItem>(
        "I", "I", halves(random) * 0.5, halves(random) * 0.5, halves(random) * 0.5,
        weighed ? halves(random) * 0.5 : 1.0, static_cast<RotationPolicy>(policies(random))));
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const ItemRef& a, const ItemRef& b) { return a->volume() > b->volume(); });
  GapCase c{std::make_shared<ConcreteBox>("B", 10, 8, 6, -1.0, 0.0, true), {}, takenInOrder(items)};
  PlainLayerFiller filler(c.box);
  std::vector<PlacedItem> placed;
  double z0 = 0;
  const int mainLayers = 1 + static_cast<int>(random() % 2);
  for (int layer = 0; layer < mainLayers && !c.remaining.empty(); ++layer) {
    Layer filled =
        filler.fillLayer(c.remaining, placed, Region{0, 0, z0, 10, 8, 6 - z0, 0}, true);
    if (filled.isEmpty()) break;
    z0 += filled.depth();
    c.layers.push_back(std::move(filled));
  }
  if (weighed) {
    double weight = 0;
    for (const PlacedItem& p : placed) weight += p.item->weight();
    c.box = std::make_shared<ConcreteBox>("B", 10, 8, 6, weight + halves(random) * 0.5, 0.0, true);
  }
  return c;
}

// The shortcuts leave out the spaces no item fits and sort only the others; whatever they take
// the same spaces, in the same order, with the same items, as offering every space does.
TEST(GapFillerTest, FillsAsThePlainPassOverEverySpace) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 600; ++round) {
    SCOPED_TRACE(round);
    const bool weighed = round % 3 == 2;
    const bool untilAnItemIsLost = round % 2 == 1;
    const GapCase c = randomGapCase(random, weighed);
    ItemStack plainRemaining = c.remaining;
    ItemStack remaining = c.remaining;
    PlainLayerFiller plainFiller(c.box);
    PlainLayerFiller filler(c.box);
    const std::vector<Layer> want =
        plainFillGaps(c.layers, plainRemaining, plainFiller, 10, 8, 6, untilAnItemIsLost);
    const std::vector<Layer> got =
        fillGapsWithShortcuts(c.layers, remaining, filler, 10, 8, 6, untilAnItemIsLost, {});
    EXPECT_EQ(remaining, plainRemaining);
    expectSameLayers(got, want);
  }
}

}  // namespace
}  // namespace varbex
