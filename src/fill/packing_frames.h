#pragma once

#include <utility>
#include <vector>

#include "model/box.h"
#include "model/item.h"

namespace varbex {

// The packing width and length of each box orientation a volume fill tries: the box unturned,
// then turned about the vertical axis unless in lookahead mode or when no item may turn.
using PackingFrames = std::vector<std::pair<double, double>>;
PackingFrames packingFrames(const Box& box, const std::vector<ItemRef>& items, bool lookaheadMode);

}  // namespace varbex
