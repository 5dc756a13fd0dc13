#pragma once

#include <optional>
#include <vector>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"
#include "model/oriented_item.h"

namespace varbex {

// Packs an item pool into one box. Makes up to twelve trial packings (box unturned and turned,
// times each distinct orientation of the first item), each a stack of layers restacked and then
// completed by gap filling, and returns the first that places every item, otherwise the one with
// the highest volume utilisation (the earliest on a tie).
class VolumeFiller {
 public:
  explicit VolumeFiller(BoxRef box, const Shortcuts& shortcuts = {});

  // Lookahead mode makes one quick trial: unturned, no first-item choice, no restacking, no gap
  // filling, and no further lookahead by the trial's own choices.
  void setLookaheadMode(bool lookaheadMode) { lookaheadMode_ = lookaheadMode; }

  // For a caller that can use only a packing of every item: a trial stops filling gaps once some
  // item can no longer be placed. A fill that places every item returns what it would otherwise;
  // one that does not returns some packing short of all items, not necessarily the best.
  void setWholeOrNothing(bool wholeOrNothing) { wholeOrNothing_ = wholeOrNothing; }

  // Packs the pool's items in its sorted order; the pool itself is not changed.
  FilledBox fill(const ItemPool& pool) const;

  // One trial packing in a W x L frame; `items` are taken first to last.
  FilledBox fillOriented(double width, double length,
                         const std::optional<OrientedItem>& firstOrientation,
                         const std::vector<ItemRef>& items) const;

 private:
  std::vector<std::optional<OrientedItem>> firstItemChoices(const ItemRef& first, double width,
                                                            double length) const;

  BoxRef box_;
  Shortcuts shortcuts_;
  bool lookaheadMode_ = false;
  bool wholeOrNothing_ = false;
};

}  // namespace varbex
