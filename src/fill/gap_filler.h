#pragma once

#include <cstddef>
#include <vector>

#include "fill/free_space.h"
#include "fill/layer_filler.h"
#include "model/layer.h"

namespace varbex {

// Offers the free spaces left by the layers (lowest first, then larger volume, then larger area)
// to the layer filler with the remaining items; each space that takes an item becomes one more
// layer and the spaces are cut again around it. Ends when no item, no space or no taker is left.
std::vector<Layer> fillGaps(std::vector<Layer> layers, ItemStack& remaining, LayerFiller& filler,
                            double width, double length, double depth);

// The order in which the spaces are offered: lower first, then larger volume, then larger area.
bool offeredBefore(const FreeSpace& a, const FreeSpace& b);
void sortSpaces(std::vector<FreeSpace>& spaces);

// The items of the first `count` layers, layer by layer.
std::vector<PlacedItem> itemsOf(const std::vector<Layer>& layers, std::size_t count);

// The region a space is offered as: the whole space, its depth fixed.
Region regionOf(const FreeSpace& space);

}  // namespace varbex
