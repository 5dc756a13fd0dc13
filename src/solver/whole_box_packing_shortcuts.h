#pragma once

#include <optional>
#include <vector>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"
#include "solver/content_fit_memo.h"
#include "solver/item_ranks.h"
#include "solver/whole_box_packing.h"

namespace varbex {

// packWhole of the items' pool, remembered in `memo` by the content of the box when
// contentFitMemo is on (values are numbers), and not made when wholeOrNothingStopsEarly is on and
// some item fits the box in no way (every item with non-negative extents, all values finite).
// With balancingSortsByRank on, the items are put in order by their `ranks` when all have one,
// and a pool is made only for a packing the memo does not know.
std::optional<FilledBox> packWholeWithShortcuts(const std::vector<ItemRef>& items,
                                                const BoxRef& box, const Shortcuts& shortcuts,
                                                ContentFitMemo& memo, const ItemRanks& ranks);

}  // namespace varbex
