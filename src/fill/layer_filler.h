#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "fill/open_region.h"
#include "fill/room.h"
#include "fill/set_aside_stack.h"
#include "model/item.h"
#include "model/layer.h"
#include "model/placed_item.h"
#include "orient/orientation_chooser.h"

namespace varbex {

// The most room any position of a region offers before something is placed there: its corner's.
Room roomOf(const Region& region);

// Fills one region of a box in rows along x that advance along y. Every item placed gets the
// stack above it and, when shorter than its row, the gap behind it, filled the same way.
// One filler serves every layer and gap of one trial packing, and so does its chooser, whose
// memo lasts.
class LayerFiller {
 public:
  // The chooser is the caller's and must outlive the filler, and so must every item it is given
  // (as the items of its trial packing do): it knows an item it has seen by its address.
  explicit LayerFiller(OrientationChooser& chooser);
  virtual ~LayerFiller() = default;
  LayerFiller(const LayerFiller&) = delete;
  LayerFiller& operator=(const LayerFiller&) = delete;

  // Takes items from the top (back) of `remaining` and appends every item placed to `placed`.
  // Items too heavy for what the box can still carry are dropped from `remaining`; every other
  // item not placed is back on it, in its old relative order. `firstOrientation`, when given,
  // places its very item object exactly so, without asking the chooser or checking the fit.
  Layer fillLayer(ItemStack& remaining, std::vector<PlacedItem>& placed, const Region& region,
                  bool checkStability, std::optional<OrientedItem> firstOrientation = {});

  // The same, but the layer stays with the filler, which reuses its storage: it is valid until the
  // next call. For callers that need only the placed list and the layer's extents.
  const Layer& fillLayerInPlace(ItemStack& remaining, std::vector<PlacedItem>& placed,
                                        const Region& region, bool checkStability,
                                        std::optional<OrientedItem> firstOrientation = {});

  // Whether no remaining item is too heavy for what the box can still carry.
  bool dropsNothing(ItemStackView remaining, const std::vector<PlacedItem>& placed);
  bool dropsNothing(StackedItems remaining, const std::vector<PlacedItem>& placed);

  // Tells the filler that a placed list it was given has been cut back and refilled.
  void forgetPlacedWeight() { placedWeight_ = PlacedWeight{}; }

 protected:
  // The steps a faster filler may shorten. Each does the plain step here.

  // A layer begins with these items on the stack: a faster filler notes what it needs of them.
  virtual void layerBegins(StackedItems) {}
  // Whether the region's rows are run at all: only while items are left to try.
  virtual bool worthFilling(const OpenRegion& r, const SetAsideStack& stack,
                            const std::vector<PlacedItem>& placed);
  // Whether the chooser may find the item a place in the free room at the region's current
  // position: the plain filler asks it about every item.
  virtual bool mayHaveCandidate(const StackedItem&, const Room&) const { return true; }

  // Whether the box can still carry an item as heavy as `heaviest`, and so any lighter one (an
  // item whose weight is not a number is never too heavy).
  bool carriesUpTo(double heaviest, const std::vector<PlacedItem>& placed);
  // Whether the box can carry only so much.
  bool limitsWeight() const { return capacity_ >= 0; }

 private:
  // The summed weight of the placed list, extended as the list grows: adding the new items to
  // the old sum in order gives the very double that summing from 0 gives.
  class PlacedWeight {
   public:
    double of(const std::vector<PlacedItem>& placed);

   private:
    const std::vector<PlacedItem>* list_ = nullptr;
    std::size_t count_ = 0;
    const Item* last_ = nullptr;
    double sum_ = 0;
  };

  // Runs the innermost region until it needs a region inside it filled (returned) or is done.
  std::optional<Region> advance(OpenRegion& r, SetAsideStack& stack,
                                std::vector<PlacedItem>& placed, bool checkStability);
  bool placeNextItem(OpenRegion& r, SetAsideStack& stack, std::vector<PlacedItem>& placed,
                     bool checkStability);
  std::optional<OrientedItem> orientationFor(OpenRegion& r, const ItemRef& item,
                                             const StackedItem& stacked, const Room& room,
                                             ItemStackView nextItems, bool checkStability);

  OrientationChooser& chooser_;
  double capacity_;  // the box's payload capacity, -1 when unlimited
  PlacedWeight placedWeight_;
  OpenRegions regions_;
  std::vector<StackedItem> stacked_;  // the array beside the stack, its storage kept
};

}  // namespace varbex
