#pragma once

#include <optional>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"

namespace varbex {

// Weight balancing's re-pack: the pool packed into one box of type `box`, or nothing when some
// item stays out. `shortcuts` go on to the volume filler.
std::optional<FilledBox> packWhole(const ItemPool& pool, const BoxRef& box,
                                   const Shortcuts& shortcuts);

}  // namespace varbex
