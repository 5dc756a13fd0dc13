#pragma once

#include <vector>

#include "base/engine_options.h"
#include "model/oriented_item.h"
#include "orient/orientation_ranking.h"

namespace varbex {

// firstRanked, found in one pass instead of by sorting every candidate when the shortcut is on
// and every extent is a finite number; otherwise firstRanked itself. Not empty.
OrientedItem& firstRankedWithShortcuts(std::vector<OrientedItem>& candidates,
                                       OrientationRanking& ranking, double freeWidth,
                                       double freeLength, double freeDepth,
                                       const Shortcuts& shortcuts);

}  // namespace varbex
