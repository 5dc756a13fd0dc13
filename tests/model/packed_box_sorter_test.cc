#include "model/packed_box_sorter.h"

#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace varbex {
namespace {

// A box of the given inner extents holding one unit-footprint item per given depth, side by side.
FilledBox filledOf(double width, double length, double depth, const std::vector<double>& heights) {
  FilledBox filled(std::make_shared<ConcreteBox>("B", width, length, depth, -1, 0, true));
  double x = 0;
  for (double height : heights) {
    auto item = std::make_shared<ConcreteItem>("A", "A", 1, 1, height, 0, RotationPolicy::BestFit);
    filled.addItem(PlacedItem(OrientedItem(std::move(item), 1, 1, height, "WLD"), x++, 0, 0));
  }
  return filled;
}

TEST(PackedBoxSorterTest, PutsMoreItemsThenFullerThenMoreUsedVolumeFirst) {
  const double nan = std::nan("");
  struct Case {
    const char* name;
    FilledBox a, b;
    int aToB;  // compare(a, b)
    int bToA;  // compare(b, a)
  };
  const Case kCases[] = {
      // 5 items at 40 % against 4 items at 90 %, both in 1000.
      {"more_items_beat_utilisation", filledOf(10, 10, 10, {80, 80, 80, 80, 80}),
       filledOf(10, 10, 10, {225, 225, 225, 225}), -1, 1},
      {"fuller_first", filledOf(10, 10, 10, {500}), filledOf(10, 10, 10, {250}), -1, 1},
      // 50 % of 2000 against 50 % of 1000: the larger used volume wins.
      {"more_used_volume_at_equal_utilisation", filledOf(20, 10, 10, {1000}),
       filledOf(10, 10, 10, {500}), -1, 1},
      {"all_equal", filledOf(10, 10, 10, {100, 200}), filledOf(10, 10, 10, {200, 100}), 0, 0},
      {"both_empty", filledOf(10, 10, 10, {}), filledOf(1, 1, 1, {}), 0, 0},
      // Boxes without volume have 0 % utilisation; the used volume still decides.
      {"zero_volume_boxes_by_used_volume", filledOf(10, 10, 0, {8}), filledOf(10, 10, 0, {1}), -1,
       1},
      // A NaN in the first differing key answers +1 both ways.
      {"nan_utilisation", filledOf(10, 10, 10, {nan}), filledOf(10, 10, 10, {1}), 1, 1},
      {"nan_used_volume_in_zero_volume_box", filledOf(10, 10, 0, {nan}), filledOf(10, 10, 0, {5}),
       1, 1},
      {"nan_after_item_count", filledOf(10, 10, 10, {nan, 1}), filledOf(10, 10, 10, {1}), -1, 1},
  };
  const DefaultPackedBoxSorter sorter;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sorter.compare(c.a, c.b), c.aToB);
    EXPECT_EQ(sorter.compare(c.b, c.a), c.bToA);
  }
}

}  // namespace
}  // namespace varbex
