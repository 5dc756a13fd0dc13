#pragma once

#include <vector>

#include "fill/layer_filler.h"
#include "model/layer.h"

namespace varbex {

// Offers the free spaces left by the layers (lowest first, then larger volume, then larger area)
// to the layer filler with the remaining items; each space that takes an item becomes one more
// layer and the spaces are cut again around it. Ends when no item, no space or no taker is left.
// With `untilAnItemIsLost`, it also ends as soon as some remaining item fits no space in any
// allowed orientation: that item can no longer be placed, and a caller that needs every item
// placed has no use for the rest of the pass.
std::vector<Layer> fillGaps(std::vector<Layer> layers, ItemStack& remaining, LayerFiller& filler,
                            double width, double length, double depth,
                            bool untilAnItemIsLost = false);

}  // namespace varbex
