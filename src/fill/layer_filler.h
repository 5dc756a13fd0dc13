#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "base/engine_options.h"
#include "fill/room.h"
#include "model/box.h"
#include "model/layer.h"
#include "model/placed_item.h"
#include "model/sorted_triple.h"
#include "orient/orientation_chooser.h"

namespace varbex {

class TrialPacker;

// The region a layer fills: its corner, its far edges in x and y, the height free above its
// floor, and a fixed layer depth (0 lets the items set it).
struct Region {
  double x0, y0, z0;
  double xEnd, yEnd;
  double freeDepth;
  double layerDepth;
};

// The most room any position of a region offers before something is placed there: its corner's.
Room roomOf(const Region& region);

// Fills one region of a box in rows along x that advance along y. Every item placed gets the
// stack above it and, when shorter than its row, the gap behind it, filled the same way.
// One filler serves every layer and gap of one trial packing, so its chooser's memo lasts.
class LayerFiller {
 public:
  LayerFiller(BoxRef box, bool lookaheadDisabled, const TrialPacker* packer,
              const Shortcuts& shortcuts = {});
  ~LayerFiller();
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
  bool dropsNothing(const ItemStack& remaining, const std::vector<PlacedItem>& placed);

  // Tells the filler that a placed list it was given has been cut back and refilled.
  void forgetPlacedWeight() { placedWeight_ = PlacedWeight{}; }

 private:
  // Where a region's filling stands between two steps. The stack above an item and the gap behind
  // it are regions filled the same way; they are kept on an explicit stack of frames rather than
  // the call stack, because a tower of thin items nests them as deep as there are items.
  struct Frame {
    enum class Step { Start, NextItem, AfterStack, AfterGap, Closed };

    Region region{};
    std::optional<OrientedItem> firstOrientation;
    Layer layer;
    double x = 0;
    double y = 0;
    double rowLength = 0;  // the longest item placed in the current row
    std::optional<OrientedItem> previous;  // placed last in the current row
    std::optional<OrientedItem> current;   // placed just now, waiting for its stack and gap
    ItemStack skipped;
    Step step = Step::Start;

    // Starts the frame afresh for a region; the lists keep their storage for the next region.
    void open(const Region& newRegion, std::optional<OrientedItem> first) {
      region = newRegion;
      firstOrientation = std::move(first);
      layer.clear();
      x = newRegion.x0;
      y = newRegion.y0;
      rowLength = 0;
      previous.reset();
      current.reset();
      skipped.clear();
      step = Step::Start;
    }
  };

  // Frame stacks of fillers that have finished, kept for the next ones on the same thread.
  static std::vector<std::vector<Frame>>& spareFrameStacks();
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

  // Runs a frame until it needs an inner region filled (returned) or is done (nothing).
  std::optional<Region> advance(Frame& frame, ItemStack& remaining,
                                std::vector<PlacedItem>& placed, bool checkStability);
  bool placeNextItem(Frame& frame, ItemStack& remaining, std::vector<PlacedItem>& placed,
                     bool checkStability);
  void setAside(Frame& frame, ItemRef item, ItemStack& remaining);
  // In layer_filler_shortcuts.cc: whether the frame's region can be passed over without running
  // its rows, and whether the chooser need be asked about an item in the free room.
  bool passesOver(const Frame& frame, const ItemStack& remaining,
                  const std::vector<PlacedItem>& placed);
  bool mayHaveCandidate(const Item& item, const Room& room) const;
  void openFrame(std::size_t at, const Region& region,
                 std::optional<OrientedItem> firstOrientation);

  BoxRef box_;
  Shortcuts shortcuts_;
  double capacity_;  // the box's payload capacity, -1 when unlimited
  OrientationChooser chooser_;
  PlacedWeight placedWeight_;
  // The smallest sides of the stack a layer began with (see smallestSides).
  SortedTriple smallestSides_{0, 0, 0};
  // The frames of the regions being filled, outermost first: kept from one layer to the next so
  // that their lists keep their storage.
  std::vector<Frame> frames_;
};

}  // namespace varbex
