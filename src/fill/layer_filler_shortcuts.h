#pragma once

#include <vector>

#include "base/engine_options.h"
#include "fill/layer_filler.h"
#include "model/sorted_triple.h"

namespace varbex {

// The layer filler with its two shortcuts: a region that no item fits and none would be dropped
// from is not filled (layerSkipsEmptyRegions), and the chooser is not asked about an item that
// fits the free room in no way (chooserAsksFittingItemsOnly). Each falls back on the plain step
// of LayerFiller when it is off or does not apply.
class LayerFillerWithShortcuts final : public LayerFiller {
 public:
  LayerFillerWithShortcuts(OrientationChooser& chooser, const Shortcuts& shortcuts)
      : LayerFiller(chooser), shortcuts_(shortcuts) {}

 protected:
  void layerBegins(StackedItems stack) override;
  bool worthFilling(const OpenRegion& r, const SetAsideStack& stack,
                    const std::vector<PlacedItem>& placed) override;
  bool mayHaveCandidate(const StackedItem& item, const Room& room) const override;

 private:
  // dropsNothing, answered from the heaviest item when that is carried.
  bool dropsNothingLeft(StackedItems remaining, const std::vector<PlacedItem>& placed);

  Shortcuts shortcuts_;
  // The smallest sides of the stack the layer being filled began with (see smallestSides).
  SortedTriple smallestSides_{0, 0, 0};
  // The weight of its heaviest item, not-a-number weights left out (-inf for none, +inf when the
  // box has no weight limit and the weights were not read).
  double heaviest_ = 0;
};

}  // namespace varbex
