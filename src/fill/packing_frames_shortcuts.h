#pragma once

#include <vector>

#include "base/engine_options.h"
#include "fill/packing_frames.h"

namespace varbex {

// packingFrames without the turned frame of a box as long as it is wide (squareBoxNotTurned):
// turned, such a box gives the very same trials again, which can neither place every item where
// the unturned ones did not nor win a tie against them (the earlier trial wins).
PackingFrames packingFramesWithShortcuts(const Box& box, const std::vector<ItemRef>& items,
                                         bool lookaheadMode, const Shortcuts& shortcuts);

}  // namespace varbex
