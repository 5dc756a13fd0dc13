#include "model/placed_item.h"

#include <memory>

#include <gtest/gtest.h>

namespace varbex {
namespace {

ItemRef itemOf(double width, double length, double depth) {
  return std::make_shared<ConcreteItem>("A", "A", width, length, depth, 0, RotationPolicy::BestFit);
}

TEST(PlacedItemTest, TranslatesACopyAndLeavesTheOriginal) {
  const ItemRef item = itemOf(2, 3, 4);
  const PlacedItem placed(OrientedItem(item, 3, 2, 4, "LWD"), 1, 2, 3);
  const PlacedItem moved = placed.translated(10, -2, 0.5);
  EXPECT_EQ(moved.x, 11);
  EXPECT_EQ(moved.y, 0);
  EXPECT_EQ(moved.z, 3.5);
  EXPECT_EQ(moved.width, 3);
  EXPECT_EQ(moved.length, 2);
  EXPECT_EQ(moved.depth, 4);
  EXPECT_EQ(moved.orientation, "LWD");
  EXPECT_EQ(moved.item, item);
  EXPECT_EQ(placed.x, 1);
  EXPECT_EQ(placed.y, 2);
  EXPECT_EQ(placed.z, 3);
  EXPECT_EQ(item.use_count(), 3);
}

}  // namespace
}  // namespace varbex
