#pragma once

#include <vector>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"
#include "model/packing_attempt.h"
#include "solver/work_budget.h"

namespace varbex {

// Packs a pool into boxes one box at a time: for each new box every box type with supply left
// is trial-filled with all remaining items and the best trial is kept, until the pool is empty
// or no box type takes anything. A box never holds items of two box groups.
class BoxChooser {
 public:
  explicit BoxChooser(const Shortcuts& shortcuts = {}) : shortcuts_(shortcuts) {}

  // Unbounded pass; appends its boxes, unplaced items and work to `attempt`.
  void packAll(ItemPool pool, const std::vector<BoxRef>& boxTypes, PackingAttempt& attempt) const;

  // The same pass under a budget; false when it gave up (the attempt is then incomplete).
  bool packBounded(ItemPool pool, const std::vector<BoxRef>& boxTypes, PackingAttempt& attempt,
                   const WorkBudget& budget) const;

  // Re-fills a trial that mixed box groups with the ungrouped items and one group only: the
  // first group, in the pool's sorted order, among those the trial holds.
  static FilledBox keepOneGroup(FilledBox trial, const ItemPool& pool,
                                const Shortcuts& shortcuts = {});

 private:
  bool pass(ItemPool pool, const std::vector<BoxRef>& boxTypes, PackingAttempt& attempt,
            const WorkBudget* budget) const;

  Shortcuts shortcuts_;
};

}  // namespace varbex
