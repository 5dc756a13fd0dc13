#pragma once

#include <string>
#include <vector>

#include "base/engine_options.h"
#include "model/box_pool.h"
#include "model/filled_box_list.h"
#include "model/item_pool.h"

namespace varbex {

// The result of a solve: the filled boxes of the chosen packing and the items left over.
struct PackingOutcome {
  bool success = false;  // true exactly when no item is left unplaced
  FilledBoxList filledBoxes;
  ItemPool unplacedItems;

  PackingOutcome();
};

// Runs the passes of one solve: a first pass over all items, up to four further starts that pack
// the box groups one after another (when there are two or more groups), then weight balancing of
// the best packing when it fills 2 to 12 boxes.
class Solver {
 public:
  explicit Solver(const EngineOptions& options = {}) : options_(options) {}

  PackingOutcome solve(const ItemPool& items, const BoxPool& boxes) const;

  // The distinct box groups, most items first, ties by name in byte order.
  static std::vector<std::string> groupOrder(const ItemPool& items);

  // A pool sharing the sorter of `items` with the items of `group` (and, when asked, the
  // ungrouped ones), in the sorted order of `items`.
  static ItemPool itemsForGroup(const ItemPool& items, const std::string& group,
                                bool includeUngrouped);

 private:
  EngineOptions options_;
};

}  // namespace varbex
