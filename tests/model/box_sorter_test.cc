#include "model/box_sorter.h"

#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

namespace varbex {
namespace {

ConcreteBox boxOf(double width, double length, double depth, double maxWeight = -1,
                  double emptyWeight = 0) {
  return ConcreteBox("B", width, length, depth, maxWeight, emptyWeight, true);
}

struct Case {
  const char* name;
  ConcreteBox a, b;
  int aToB;  // compare(a, b)
  int bToA;  // compare(b, a)
};

void expectOrder(const Case& c) {
  SCOPED_TRACE(c.name);
  const DefaultBoxSorter sorter;
  EXPECT_EQ(sorter.compare(c.a, c.b), c.aToB);
  EXPECT_EQ(sorter.compare(c.b, c.a), c.bToA);
}

TEST(BoxSorterTest, PutsSmallLightAndUnlimitedBoxesFirst) {
  const double nan = std::nan("");
  const double largest = std::numeric_limits<double>::max();
  const Case kCases[] = {
      {"smaller_volume_first", boxOf(1, 1, 1), boxOf(2, 1, 1), -1, 1},
      {"volume_beats_empty_weight", boxOf(1, 1, 1, -1, 9), boxOf(2, 1, 1, -1, 0), -1, 1},
      {"volume_beats_capacity", boxOf(1, 1, 1, 0, 0), boxOf(2, 1, 1), -1, 1},
      {"equal_volume_turned", boxOf(2, 3, 4), boxOf(4, 3, 2), 0, 0},
      // Equal volume: the lighter empty box wins whatever the capacities (1 against 98).
      {"lighter_empty_box_first", boxOf(2, 3, 4, 2, 1), boxOf(4, 3, 2, 100, 2), -1, 1},
      {"unlimited_before_limited", boxOf(2, 3, 4, -1, 10), boxOf(2, 3, 4, 50, 10), -1, 1},
      {"larger_capacity_first", boxOf(2, 3, 4, 50, 10), boxOf(2, 3, 4, 40, 10), -1, 1},
      {"both_unlimited", boxOf(2, 3, 4, -1, 0), boxOf(2, 3, 4, -5, 0), 0, 0},
      {"equal_capacity", boxOf(2, 3, 4, 50, 10), boxOf(2, 3, 4, 50, 10), 0, 0},
      // Both empty boxes outweigh their maxima: both capacities are 0.
      {"overweight_capacities_are_zero", boxOf(1, 1, 1, 5, 12), boxOf(1, 1, 1, 11, 12), 0, 0},
      {"zero_capacity_after_positive", boxOf(1, 1, 1, 13, 12), boxOf(1, 1, 1, 5, 12), -1, 1},
      // An unlimited box counts as the largest finite capacity, so it ties with that capacity.
      {"unlimited_ties_largest_capacity", boxOf(1, 1, 1, -1, 0), boxOf(1, 1, 1, largest, 0), 0,
       0},
      {"unlimited_before_infinite_capacity", boxOf(1, 1, 1, -1, 0),
       boxOf(1, 1, 1, std::numeric_limits<double>::infinity(), 0), 1, -1},
      // A NaN in the first differing key answers +1 both ways.
      {"nan_volume", boxOf(nan, 1, 1), boxOf(1, 1, 1), 1, 1},
      {"nan_volume_on_both", boxOf(nan, 1, 1), boxOf(nan, 1, 1), 1, 1},
      {"nan_empty_weight", boxOf(1, 1, 1, -1, nan), boxOf(1, 1, 1, -1, 0), 1, 1},
      // A NaN in a later key does not matter once an earlier key differs.
      {"nan_empty_weight_after_volume", boxOf(1, 1, 1, -1, nan), boxOf(2, 1, 1), -1, 1},
  };
  for (const Case& c : kCases) expectOrder(c);
}

TEST(BoxSorterTest, ComparesLimitedSupplyBoxesByTheSameKeys) {
  const DefaultBoxSorter sorter;
  const ConcreteLimitedSupplyBox limited(boxOf(1, 1, 1, -1, 0), 1);
  const ConcreteBox larger = boxOf(2, 2, 2);
  const ConcreteBox same = boxOf(1, 1, 1);
  EXPECT_EQ(sorter.compare(limited, larger), -1);
  EXPECT_EQ(sorter.compare(limited, same), 0);
}

}  // namespace
}  // namespace varbex
