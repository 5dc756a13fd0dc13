#include "model/filled_box_list.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace varbex {
namespace {

FilledBox filledWithWeights(const std::vector<double>& weights) {
  FilledBox filled(std::make_shared<ConcreteBox>("B", 10, 10, 10, -1, 100, true));
  double x = 0;
  for (double weight : weights) {
    auto item = std::make_shared<ConcreteItem>("A", "A", 1, 1, 1, weight, RotationPolicy::BestFit);
    filled.addItem(PlacedItem(OrientedItem(std::move(item), 1, 1, 1, "WLD"), x++, 0, 0));
  }
  return filled;
}

FilledBoxList listOf(const std::vector<std::vector<double>>& boxes) {
  FilledBoxList list(std::make_shared<DefaultPackedBoxSorter>());
  for (const std::vector<double>& weights : boxes) list.add(filledWithWeights(weights));
  return list;
}

TEST(FilledBoxListTest, AveragesItemWeightOverBoxes) {
  struct Case {
    const char* name;
    std::vector<std::vector<double>> boxes;
    double mean;
  };
  const Case kCases[] = {
      {"empty_list", {}, 0},
      {"one_box", {{3, 4}}, 7},
      {"three_boxes", {{2}, {1, 3}, {4, 5}}, 5},
      {"empty_boxes_count", {{}, {6}}, 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    // The boxes' own empty weight (100 each) is not part of the mean.
    EXPECT_EQ(listOf(c.boxes).meanItemWeight(), c.mean);
  }
}

TEST(FilledBoxListTest, CopiesFilledBoxesWithTheirItems) {
  FilledBoxList list = listOf({{1, 2}});
  FilledBoxList copy = list;
  copy.add(filledWithWeights({9}));
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(copy.size(), 2u);
  EXPECT_EQ(copy.sorter(), list.sorter());
  ASSERT_EQ(copy.entries()[0].items().size(), 2u);
  EXPECT_EQ(copy.entries()[0].items()[0].item, list.entries()[0].items()[0].item);
}

}  // namespace
}  // namespace varbex
