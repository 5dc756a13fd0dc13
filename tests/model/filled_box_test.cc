#include "model/filled_box.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace varbex {
namespace {

BoxRef boxOf(double width, double length, double depth, double maxWeight = -1,
             double emptyWeight = 0) {
  return std::make_shared<ConcreteBox>("B", width, length, depth, maxWeight, emptyWeight, true);
}

PlacedItem placedOf(double x, double y, double z, double width, double length, double depth,
                    double weight = 0) {
  auto item = std::make_shared<ConcreteItem>("A", "A", width, length, depth, weight,
                                             RotationPolicy::BestFit);
  return PlacedItem(OrientedItem(std::move(item), width, length, depth, "WLD"), x, y, z);
}

FilledBox filledOf(BoxRef box, const std::vector<PlacedItem>& items) {
  FilledBox filled(std::move(box));
  for (const PlacedItem& p : items) filled.addItem(p);
  return filled;
}

TEST(FilledBoxTest, ComputesEveryMetricFromBoxAndItems) {
  // Box 10 x 10 x 10, maximum 50, empty 5. The first item reaches furthest in y and z, the
  // second furthest in x, so no metric may look only at the last item.
  const FilledBox filled = filledOf(boxOf(10, 10, 10, 50, 5), {placedOf(0, 0, 0, 5, 5, 8, 10),
                                                               placedOf(5, 1, 2, 5, 2, 5, 20)});
  EXPECT_EQ(filled.itemCount(), 2u);
  EXPECT_EQ(filled.itemWeight(), 30);
  EXPECT_EQ(filled.totalWeight(), 35);
  EXPECT_EQ(filled.remainingWeight(), 15);
  EXPECT_EQ(filled.usedVolume(), 250);
  EXPECT_EQ(filled.unusedVolume(), 750);
  EXPECT_EQ(filled.volumeUtilisation(), 25);
  EXPECT_EQ(filled.usedWidth(), 10);
  EXPECT_EQ(filled.usedLength(), 5);
  EXPECT_EQ(filled.usedDepth(), 8);
  EXPECT_EQ(filled.remainingWidth(), 0);
  EXPECT_EQ(filled.remainingLength(), 5);
  EXPECT_EQ(filled.remainingDepth(), 2);
}

TEST(FilledBoxTest, ReportsAnEmptyBoxAsUnused) {
  const FilledBox filled(boxOf(10, 20, 30, 50, 5));
  EXPECT_EQ(filled.itemCount(), 0u);
  EXPECT_EQ(filled.itemWeight(), 0);
  EXPECT_EQ(filled.totalWeight(), 5);
  EXPECT_EQ(filled.remainingWeight(), 45);
  EXPECT_EQ(filled.usedVolume(), 0);
  EXPECT_EQ(filled.unusedVolume(), 6000);
  EXPECT_EQ(filled.volumeUtilisation(), 0);
  EXPECT_EQ(filled.usedWidth(), 0);
  EXPECT_EQ(filled.usedLength(), 0);
  EXPECT_EQ(filled.usedDepth(), 0);
  EXPECT_EQ(filled.remainingWidth(), 10);
  EXPECT_EQ(filled.remainingLength(), 20);
  EXPECT_EQ(filled.remainingDepth(), 30);
}

TEST(FilledBoxTest, ReportsRemainingWeightNeverBelowZero) {
  struct Case {
    const char* name;
    double maxWeight, emptyWeight, itemWeight;
    double remaining;
  };
  const Case kCases[] = {
      {"no_maximum", -1, 5, 1000, -1},
      {"no_maximum_empty", -1, 0, 0, -1},
      {"room_left", 50, 5, 30, 15},
      {"exactly_full", 50, 5, 45, 0},
      {"contents_too_heavy", 20, 5, 30, 0},
      {"empty_box_too_heavy", 10, 12, 0, 0},
      {"zero_maximum", 0, 0, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const FilledBox filled = filledOf(boxOf(10, 10, 10, c.maxWeight, c.emptyWeight),
                                      {placedOf(0, 0, 0, 1, 1, 1, c.itemWeight)});
    EXPECT_EQ(filled.remainingWeight(), c.remaining);
    EXPECT_EQ(filled.totalWeight(), c.emptyWeight + c.itemWeight);
  }
}

TEST(FilledBoxTest, ReportsZeroUtilisationForABoxWithoutPositiveVolume) {
  struct Case {
    const char* name;
    double width, length, depth;
  };
  const Case kCases[] = {
      {"zero_depth", 10, 10, 0},
      {"zero_width", 0, 10, 10},
      {"negative_volume", -1, 10, 10},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const FilledBox filled =
        filledOf(boxOf(c.width, c.length, c.depth), {placedOf(0, 0, 0, 2, 2, 2)});
    EXPECT_EQ(filled.volumeUtilisation(), 0);
    EXPECT_EQ(filled.usedVolume(), 8);
    EXPECT_EQ(filled.unusedVolume(), c.width * c.length * c.depth - 8);
  }
}

TEST(FilledBoxTest, MeasuresUsedExtentsFromTheOriginNotFromTheItems) {
  // An item lying wholly below the origin does not make the used extents negative.
  const FilledBox filled = filledOf(boxOf(10, 10, 10), {placedOf(-5, -5, -5, 2, 2, 2)});
  EXPECT_EQ(filled.usedWidth(), 0);
  EXPECT_EQ(filled.usedLength(), 0);
  EXPECT_EQ(filled.usedDepth(), 0);
  EXPECT_EQ(filled.remainingWidth(), 10);
}

TEST(FilledBoxTest, MeasuresPlacedExtentsNotTheItemsOwn) {
  // A 1 x 2 x 3 item turned to stand 3 high: used extents follow the placed orientation.
  auto item = std::make_shared<ConcreteItem>("A", "A", 1, 2, 3, 0, RotationPolicy::BestFit);
  FilledBox filled(boxOf(10, 10, 10));
  filled.addItem(PlacedItem(OrientedItem(item, 3, 1, 2, "DWL"), 0, 0, 0));
  EXPECT_EQ(filled.usedWidth(), 3);
  EXPECT_EQ(filled.usedLength(), 1);
  EXPECT_EQ(filled.usedDepth(), 2);
  EXPECT_EQ(filled.usedVolume(), 6);
}

TEST(FilledBoxTest, SumsWeightsInItemOrder) {
  // 1e16 + 1 + 1 loses both ones when summed from the left; any other order keeps one of them.
  const FilledBox filled = filledOf(boxOf(10, 10, 10), {placedOf(0, 0, 0, 1, 1, 1, 1e16),
                                                        placedOf(1, 0, 0, 1, 1, 1, 1),
                                                        placedOf(2, 0, 0, 1, 1, 1, 1)});
  EXPECT_EQ(filled.itemWeight(), 1e16);
}

}  // namespace
}  // namespace varbex
