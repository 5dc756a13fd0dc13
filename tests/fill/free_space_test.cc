#include "fill/free_space.h"

#include <limits>
#include <memory>
#include <string>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "fill/free_space_shortcuts.h"
#include "model/item.h"
#include "model/placed_item.h"

namespace varbex {
namespace {

PlacedItem placedAt(double x, double y, double z, double w, double l, double d) {
  const ItemRef item = std::make_shared<ConcreteItem>("I", "I", w, l, d, 1.0, RotationPolicy::Never);
  return PlacedItem(OrientedItem(item, w, l, d, "WLD"), x, y, z);
}

struct Cuboid {
  double x, y, z, width, length, depth;
};

void expectSpaces(const std::vector<FreeSpace>& got, const std::vector<Cuboid>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].x, want[i].x);
    EXPECT_EQ(got[i].y, want[i].y);
    EXPECT_EQ(got[i].z, want[i].z);
    EXPECT_EQ(got[i].width, want[i].width);
    EXPECT_EQ(got[i].length, want[i].length);
    EXPECT_EQ(got[i].depth, want[i].depth);
  }
}

std::vector<Cuboid> cuboidsOf(const std::vector<FreeSpace>& spaces) {
  std::vector<Cuboid> cuboids;
  for (const FreeSpace& s : spaces) cuboids.push_back({s.x, s.y, s.z, s.width, s.length, s.depth});
  return cuboids;
}

TEST(FreeSpaceTest, KnowsItsVolumeAndArea) {
  const FreeSpace s(1, 2, 3, 0.5, 4, 3);
  EXPECT_EQ(s.area, 2.0);
  EXPECT_EQ(s.volume, 6.0);
}

TEST(FreeSpaceTest, EmptyBoxIsOneSpace) {
  const std::vector<FreeSpace> spaces = freeSpaces(10, 20.5, 3, {});
  expectSpaces(spaces, {{0, 0, 0, 10, 20.5, 3}});
  EXPECT_EQ(spaces[0].volume, 615.0);
  EXPECT_EQ(spaces[0].area, 205.0);
}

TEST(FreeSpaceTest, ItemTouchingAFaceLeavesTheSpaceWhole) {
  struct Case {
    const char* name;
    PlacedItem item;
  };
  const Case cases[] = {
      {"right", placedAt(10, 0, 0, 5, 5, 5)},
      {"left", placedAt(-5, 2, 2, 5, 5, 5)},
      {"back", placedAt(0, 10, 0, 5, 5, 5)},
      {"front", placedAt(3, -4, 3, 5, 4, 5)},
      {"above", placedAt(0, 0, 10, 10, 10, 2)},
      {"below", placedAt(0, 0, -2, 10, 10, 2)},
      {"edge_only", placedAt(10, 10, 0, 1, 1, 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectSpaces(freeSpaces(10, 10, 10, {c.item}), {{0, 0, 0, 10, 10, 10}});
  }
}

TEST(FreeSpaceTest, ItemCoveringTheSpaceRemovesIt) {
  struct Case {
    const char* name;
    PlacedItem item;
  };
  const Case cases[] = {
      {"exactly", placedAt(0, 0, 0, 10, 10, 10)},
      {"beyond_on_every_side", placedAt(-1, -1, -1, 12, 12, 12)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(freeSpaces(10, 10, 10, {c.item}).empty());
  }
}

TEST(FreeSpaceTest, ItemInsideLeavesSixPiecesInOrder) {
  // Item [2, 3) x [3, 5) x [4, 7): left, right, front, back, below, above.
  expectSpaces(freeSpaces(10, 10, 10, {placedAt(2, 3, 4, 1, 2, 3)}),
               {{0, 0, 0, 2, 10, 10},
                {3, 0, 0, 7, 10, 10},
                {2, 0, 0, 1, 3, 10},
                {2, 5, 0, 1, 5, 10},
                {2, 3, 0, 1, 2, 4},
                {2, 3, 7, 1, 2, 3}});
}

TEST(FreeSpaceTest, ItemPokingThroughOneFaceLeavesFivePieces) {
  struct Case {
    const char* name;
    PlacedItem item;
    std::vector<Cuboid> want;
  };
  const Case cases[] = {
      {"through_the_top", placedAt(3, 3, 8, 4, 4, 5),
       {{0, 0, 0, 3, 10, 10},
        {7, 0, 0, 3, 10, 10},
        {3, 0, 0, 4, 3, 10},
        {3, 7, 0, 4, 3, 10},
        {3, 3, 0, 4, 4, 8}}},
      {"through_the_left", placedAt(-2, 4, 5, 3, 2, 1),
       {{1, 0, 0, 9, 10, 10},
        {0, 0, 0, 1, 4, 10},
        {0, 6, 0, 1, 4, 10},
        {0, 4, 0, 1, 2, 5},
        {0, 4, 6, 1, 2, 4}}},
      {"through_the_back", placedAt(4, 9, 2, 2, 3, 2),
       {{0, 0, 0, 4, 10, 10},
        {6, 0, 0, 4, 10, 10},
        {4, 0, 0, 2, 9, 10},
        {4, 9, 0, 2, 1, 2},
        {4, 9, 4, 2, 1, 6}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectSpaces(freeSpaces(10, 10, 10, {c.item}), c.want);
  }
}

TEST(FreeSpaceTest, SpacesAnItemMissesKeepTheirPlaceInTheList) {
  const std::vector<FreeSpace> spaces{FreeSpace(0, 0, 0, 5, 10, 10),
                                      FreeSpace(5, 0, 0, 5, 10, 10)};
  expectSpaces(subtractItems(spaces, {placedAt(0, 0, 0, 5, 10, 4)}),
               {{0, 0, 4, 5, 10, 6}, {5, 0, 0, 5, 10, 10}});
  expectSpaces(subtractItems(spaces, {placedAt(5, 0, 0, 5, 10, 4)}),
               {{0, 0, 0, 5, 10, 10}, {5, 0, 4, 5, 10, 6}});
}

TEST(FreeSpaceTest, ItemsAreCutOutOneAfterAnother) {
  // The floor slab leaves the room above it; the half-width block then leaves the other half.
  expectSpaces(freeSpaces(10, 10, 10, {placedAt(0, 0, 0, 10, 10, 4), placedAt(0, 0, 4, 5, 10, 6)}),
               {{5, 0, 4, 5, 10, 6}});
  EXPECT_TRUE(subtractItems({}, {placedAt(0, 0, 0, 1, 1, 1)}).empty());
}

TEST(FreeSpaceTest, ItemAcrossTwoSpacesCutsBoth) {
  const std::vector<FreeSpace> spaces{FreeSpace(0, 0, 0, 5, 10, 10),
                                      FreeSpace(5, 0, 0, 5, 10, 10)};
  expectSpaces(subtractItems(spaces, {placedAt(4, 0, 0, 2, 10, 10)}),
               {{0, 0, 0, 4, 10, 10}, {6, 0, 0, 4, 10, 10}});
}

bool overlap(double a0, double a1, double b0, double b1) { return a0 < b1 && b0 < a1; }

bool overlaps(const FreeSpace& s, double x, double y, double z, double w, double l, double d) {
  return overlap(s.x, s.x + s.width, x, x + w) && overlap(s.y, s.y + s.length, y, y + l) &&
         overlap(s.z, s.z + s.depth, z, z + d);
}

TEST(FreeSpaceTest, PiecesAreDisjointAndFillWhatTheItemsLeave) {
  // Items on a whole-number grid inside a 6 x 5 x 4 box, so every volume is exact.
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    std::vector<PlacedItem> items;
    double itemVolume = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
      const double x = random() % 6, y = random() % 5, z = random() % 4;
      const double w = 1 + random() % (6 - static_cast<int>(x));
      const double l = 1 + random() % (5 - static_cast<int>(y));
      const double d = 1 + random() % (4 - static_cast<int>(z));
      bool clash = false;
      for (const PlacedItem& p : items) {
        clash = clash || (overlap(p.x, p.x + p.width, x, x + w) &&
                          overlap(p.y, p.y + p.length, y, y + l) &&
                          overlap(p.z, p.z + p.depth, z, z + d));
      }
      if (clash) continue;
      items.push_back(placedAt(x, y, z, w, l, d));
      itemVolume += w * l * d;
    }
    const std::vector<FreeSpace> spaces = freeSpaces(6, 5, 4, items);
    double freeVolume = 0;
    for (std::size_t i = 0; i < spaces.size(); ++i) {
      const FreeSpace& s = spaces[i];
      EXPECT_GT(s.volume, 0);
      freeVolume += s.volume;
      for (const PlacedItem& p : items) {
        EXPECT_FALSE(overlaps(s, p.x, p.y, p.z, p.width, p.length, p.depth));
      }
      for (std::size_t j = i + 1; j < spaces.size(); ++j) {
        const FreeSpace& t = spaces[j];
        EXPECT_FALSE(overlaps(s, t.x, t.y, t.z, t.width, t.length, t.depth));
      }
    }
    EXPECT_EQ(freeVolume + itemVolume, 120.0);
  }
}

// Items at random places and sizes in a 10 x 8 x 6 box, overlapping one another and the walls, on a
// grid of fifths so that sums round; every tenth set holds more than eight items of one run.
std::vector<PlacedItem> randomItems(std::mt19937& random, int count) {
  std::uniform_int_distribution<int> fifths(0, 55);
  std::vector<PlacedItem> items;
  for (int i = 0; i < count; ++i) {
    items.push_back(placedAt(fifths(random) * 0.2, fifths(random) * 0.2 * 0.8,
                             fifths(random) * 0.2 * 0.6, 0.2 + fifths(random) * 0.1,
                             0.2 + fifths(random) * 0.08, 0.2 + fifths(random) * 0.06));
  }
  return items;
}

TEST(FreeSpaceTest, BoxCutDepthFirstGivesTheSpacesOfCuttingItemByItem) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const std::vector<PlacedItem> items = randomItems(random, 1 + round % 40);
    const std::vector<FreeSpace> want =
        subtractItems({FreeSpace(0, 0, 0, 10, 8, 6)}, items);
    expectSpaces(freeSpacesWalked(10, 8, 6, items), cuboidsOf(want));
  }
}

TEST(FreeSpaceTest, BoxCutByAnItemThatIsNotANumberGivesTheSpacesOfCuttingItemByItem) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::mt19937 random(7);
  for (const PlacedItem& odd : {placedAt(nan, 1, 1, 2, 2, 2), placedAt(1, 1, 1, inf, 2, 2),
                                placedAt(-inf, 1, 1, inf, 2, 2)}) {
    // The odd item shares its run of items with small ones in a corner, whose box most spaces
    // miss.
    std::vector<PlacedItem> items = randomItems(random, 16);
    for (int i = 0; i < 7; ++i) items.push_back(placedAt(0.1 * i, 0, 0, 0.1, 0.1, 0.1));
    items.insert(items.begin() + 18, odd);
    items.push_back(placedAt(5, 5, 5, 1, 1, 1));
    const std::vector<FreeSpace> want = subtractItems({FreeSpace(0, 0, 0, 10, 8, 6)}, items);
    const std::vector<FreeSpace> got = freeSpacesWalked(10, 8, 6, items);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      // A NaN equals nothing, itself included: compare what the numbers print as.
      EXPECT_EQ(std::to_string(got[i].x) + std::to_string(got[i].width),
                std::to_string(want[i].x) + std::to_string(want[i].width));
      EXPECT_EQ(std::to_string(got[i].y) + std::to_string(got[i].length),
                std::to_string(want[i].y) + std::to_string(want[i].length));
    }
  }
}

ItemRef boxedItem(double w, double l, double d, RotationPolicy policy) {
  return std::make_shared<ConcreteItem>("C", "C", w, l, d, 1.0, policy);
}

TEST(FreeSpaceTest, SomeItemFitsNoFreeSpaceAnswersAsTheListedSpacesDo) {
  std::mt19937 random(31);
  std::uniform_int_distribution<int> tenths(1, 60);
  const RotationPolicy policies[] = {RotationPolicy::Never, RotationPolicy::KeepFlat,
                                     RotationPolicy::BestFit};
  int fitting = 0;
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const std::vector<PlacedItem> items = randomItems(random, round % 30);
    const std::vector<FreeSpace> spaces = freeSpaces(10, 8, 6, items);
    std::vector<ItemRef> candidates;
    for (int c = 0; c < 1 + round % 4; ++c) {
      // Half of them as large as some space exactly, so that the edges are met.
      if (c % 2 == 1 && !spaces.empty()) {
        const FreeSpace& s = spaces[random() % spaces.size()];
        candidates.push_back(boxedItem(s.width, s.length, s.depth, policies[random() % 3]));
      } else {
        candidates.push_back(boxedItem(tenths(random) * 0.1, tenths(random) * 0.1,
                                       tenths(random) * 0.1, policies[random() % 3]));
      }
    }
    const bool want = someItemFitsNoSpace(
        candidates, spaces, cuttingSlack(10, 8, 6, items, candidates.size()).value());
    EXPECT_EQ(someItemFitsNoFreeSpace(10, 8, 6, items, candidates), want);
    fitting += want ? 0 : 1;
  }
  EXPECT_GT(fitting, 40);  // both answers are well represented
}

TEST(FreeSpaceTest, SomeItemFitsNoFreeSpaceWithAnItemThatIsNotANumber) {
  // A fills all but a slab 1 wide, where the candidate cannot go; B, not a number along x, cuts
  // that slab into pieces of no width; C then cuts from one of those a piece 6 x 5 x 5 that the
  // listed spaces hold, and the candidate fits it.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<PlacedItem> items = {placedAt(1, 0, 0, 9, 8, 6), placedAt(nan, 2, 0, 1, 1, 6),
                                         placedAt(0, 3, 0, 6, 5, 1)};
  const std::vector<ItemRef> candidate = {boxedItem(5, 5, 5, RotationPolicy::Never)};
  ASSERT_FALSE(someItemFitsNoSpace(candidate, freeSpaces(10, 8, 6, items), 0));
  EXPECT_FALSE(someItemFitsNoFreeSpace(10, 8, 6, items, candidate));
}

}  // namespace
}  // namespace varbex
