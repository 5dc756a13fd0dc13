#pragma once

#include <optional>
#include <vector>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"

namespace varbex {

// The pool a re-pack fills: the items over a new default item order.
ItemPool wholeBoxPool(const std::vector<ItemRef>& items);

// Weight balancing's re-pack: the pool packed into one box of type `box`, or nothing when some
// item stays out. `shortcuts` go on to the volume filler.
std::optional<FilledBox> packWhole(const ItemPool& pool, const BoxRef& box,
                                   const Shortcuts& shortcuts);

}  // namespace varbex
