#pragma once

#include <vector>

#include "base/engine_options.h"
#include "fill/layer_filler.h"
#include "model/layer.h"

namespace varbex {

// fillGaps with its shortcuts: the same layers, found faster. Spaces that no remaining item fits
// are passed over without running their rows, and mostly only the spaces no shorter than the
// remaining items' smallest sides are listed at all. With `untilAnItemIsLost`, it also ends as
// soon as some remaining item fits no space in any allowed orientation: that item can no longer
// be placed, and a caller that needs every item placed has no use for the rest of the pass. With
// those shortcuts off it is fillGaps itself.
std::vector<Layer> fillGapsWithShortcuts(std::vector<Layer> layers, ItemStack& remaining,
                                         LayerFiller& filler, double width, double length,
                                         double depth, bool untilAnItemIsLost,
                                         const Shortcuts& shortcuts);

}  // namespace varbex
