#include "fill/free_space.h"

#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace varbex
