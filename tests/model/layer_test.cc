#include "model/layer.h"

#include <memory>

#include <gtest/gtest.h>

namespace varbex {
namespace {

PlacedItem placedOf(double x, double y, double z, double width, double length, double depth,
                    double weight = 0) {
  auto item = std::make_shared<ConcreteItem>("A", "A", width, length, depth, weight,
                                             RotationPolicy::BestFit);
  return PlacedItem(OrientedItem(std::move(item), width, length, depth, "WLD"), x, y, z);
}

struct Bounds {
  double startX, endX, startY, endY, startZ, endZ, width, length, depth, area, weight;
};

void expectBounds(const Layer& layer, const Bounds& b) {
  EXPECT_EQ(layer.startX(), b.startX);
  EXPECT_EQ(layer.endX(), b.endX);
  EXPECT_EQ(layer.startY(), b.startY);
  EXPECT_EQ(layer.endY(), b.endY);
  EXPECT_EQ(layer.startZ(), b.startZ);
  EXPECT_EQ(layer.endZ(), b.endZ);
  EXPECT_EQ(layer.width(), b.width);
  EXPECT_EQ(layer.length(), b.length);
  EXPECT_EQ(layer.depth(), b.depth);
  EXPECT_EQ(layer.area(), b.area);
  EXPECT_EQ(layer.weight(), b.weight);
}

TEST(LayerTest, StartsEmptyWithEveryBoundZero) {
  const Layer layer;
  EXPECT_TRUE(layer.isEmpty());
  EXPECT_TRUE(layer.items().empty());
  expectBounds(layer, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

TEST(LayerTest, TakesBoundsFromTheFirstItemFarFromTheOrigin) {
  Layer layer;
  layer.insert(placedOf(100, 200, 300, 2, 3, 4, 5));
  // Had the empty layer's zeros taken part, startX would be 0 and width 102.
  expectBounds(layer, {100, 102, 200, 203, 300, 304, 2, 3, 4, 6, 5});
}

TEST(LayerTest, TakesBoundsFromTheFirstItemBelowTheOrigin) {
  Layer layer;
  layer.insert(placedOf(-10, -20, -30, 2, 3, 4, 1));
  expectBounds(layer, {-10, -8, -20, -17, -30, -26, 2, 3, 4, 6, 1});
}

TEST(LayerTest, WidensBoundsWithEachLaterItem) {
  struct Case {
    const char* name;
    PlacedItem second;
    Bounds expected;
  };
  // The first item spans [100, 102) x [200, 203) x [300, 304) and weighs 5.
  const Case kCases[] = {
      {"smaller_x_lowers_start_x", placedOf(50, 201, 300, 1, 1, 1, 2),
       {50, 102, 200, 203, 300, 304, 52, 3, 4, 156, 7}},
      {"larger_end_raises_end_x", placedOf(101, 200, 300, 5, 1, 1, 0),
       {100, 106, 200, 203, 300, 304, 6, 3, 4, 18, 5}},
      {"smaller_y_and_larger_end_y", placedOf(100, 190, 300, 1, 20, 1, 0),
       {100, 102, 190, 210, 300, 304, 2, 20, 4, 40, 5}},
      {"smaller_z_and_larger_end_z", placedOf(100, 200, 299, 1, 1, 10, 0.5),
       {100, 102, 200, 203, 299, 309, 2, 3, 10, 6, 5.5}},
      {"inside_changes_only_weight", placedOf(101, 201, 301, 1, 1, 1, 3),
       {100, 102, 200, 203, 300, 304, 2, 3, 4, 6, 8}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Layer layer;
    layer.insert(placedOf(100, 200, 300, 2, 3, 4, 5));
    layer.insert(c.second);
    ASSERT_EQ(layer.items().size(), 2u);
    expectBounds(layer, c.expected);
  }
}

TEST(LayerTest, KeepsItemsInInsertionOrder) {
  Layer layer;
  const PlacedItem first = placedOf(5, 0, 0, 1, 1, 1);
  const PlacedItem second = placedOf(0, 0, 0, 1, 1, 1);
  layer.insert(first);
  layer.insert(second);
  ASSERT_EQ(layer.items().size(), 2u);
  EXPECT_EQ(layer.items()[0].item, first.item);
  EXPECT_EQ(layer.items()[1].item, second.item);
}

TEST(LayerTest, MergesCopiesOfAnotherLayersItemsInOrder) {
  Layer layer;
  layer.insert(placedOf(0, 0, 0, 2, 2, 2, 1));
  Layer stack;
  stack.insert(placedOf(0, 0, 2, 2, 2, 3, 4));
  stack.insert(placedOf(-1, 0, 5, 1, 1, 1, 2));
  layer.merge(stack);
  ASSERT_EQ(layer.items().size(), 3u);
  EXPECT_EQ(layer.items()[1].item, stack.items()[0].item);
  EXPECT_EQ(layer.items()[2].item, stack.items()[1].item);
  expectBounds(layer, {-1, 2, 0, 2, 0, 6, 3, 2, 6, 6, 7});
  // The merged layer is left as it was.
  EXPECT_EQ(stack.items().size(), 2u);
  expectBounds(stack, {-1, 2, 0, 2, 2, 6, 3, 2, 4, 6, 6});
}

TEST(LayerTest, MergingByMoveGivesTheSameLayerAndEmptiesTheOther) {
  const PlacedItem floor = placedOf(0, 0, 0, 2, 2, 2, 1);
  Layer copied;
  Layer moved;
  copied.insert(floor);
  moved.insert(floor);
  Layer stack;
  stack.insert(placedOf(0, 0, 2, 2, 2, 3, 4));
  stack.insert(placedOf(-1, 0, 5, 1, 1, 1, 2));
  copied.merge(stack);
  moved.merge(std::move(stack));
  ASSERT_EQ(moved.items().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(moved.items()[i].item, copied.items()[i].item);
  expectBounds(moved, {-1, 2, 0, 2, 0, 6, 3, 2, 6, 6, 7});
  EXPECT_TRUE(stack.isEmpty());  // NOLINT(bugprone-use-after-move): left empty on purpose
  expectBounds(stack, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const std::vector<PlacedItem> released = moved.releaseItems();
  EXPECT_EQ(released.size(), 3u);
  EXPECT_TRUE(moved.isEmpty());
}

TEST(LayerTest, MergingIntoAnEmptyLayerCopiesTheBounds) {
  Layer stack;
  stack.insert(placedOf(7, 8, 9, 1, 2, 3, 4));
  Layer layer;
  layer.merge(stack);
  expectBounds(layer, {7, 8, 8, 10, 9, 12, 1, 2, 3, 2, 4});
}

}  // namespace
}  // namespace varbex
