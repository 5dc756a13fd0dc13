#pragma once

// Helpers shared by the tests of the layer filler and of gap filling.
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "model/item.h"
#include "model/layer.h"
#include "orient/orientation_chooser.h"

namespace varbex {

// The stack in the order the items are taken: the first one given is on top.
inline ItemStack takenInOrder(std::vector<ItemRef> items) {
  return ItemStack(items.rbegin(), items.rend());
}

// Where one item of a layer is expected to stand.
struct Spot {
  ItemRef item;
  double x, y, z;
};

inline void expectLayer(const Layer& layer, const std::vector<Spot>& want) {
  ASSERT_EQ(layer.items().size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    const PlacedItem& p = layer.items()[i];
    EXPECT_EQ(p.item, want[i].item);
    EXPECT_EQ(p.x, want[i].x);
    EXPECT_EQ(p.y, want[i].y);
    EXPECT_EQ(p.z, want[i].z);
  }
}

}  // namespace varbex
