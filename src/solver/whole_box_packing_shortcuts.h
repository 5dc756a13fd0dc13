#pragma once

#include <optional>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"
#include "solver/content_fit_memo.h"
#include "solver/whole_box_packing.h"

namespace varbex {

// packWhole, remembered in `memo` by the content of the box when contentFitMemo is on (values
// are numbers), and not made when wholeOrNothingStopsEarly is on and some item fits the box in
// no way (every item with non-negative extents, all values finite).
std::optional<FilledBox> packWholeWithShortcuts(const ItemPool& pool, const BoxRef& box,
                                                const Shortcuts& shortcuts, ContentFitMemo& memo);

}  // namespace varbex
