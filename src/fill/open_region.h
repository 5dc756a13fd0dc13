#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "model/layer.h"
#include "model/oriented_item.h"
#include "orient/orientation_chooser.h"

namespace varbex {

// The region a layer fills: its corner, its far edges in x and y, the height free above its
// floor, and a fixed layer depth (0 lets the items set it).
struct Region {
  double x0, y0, z0;
  double xEnd, yEnd;
  double freeDepth;
  double layerDepth;
};

// A region being filled and where its filling stands: the row being laid, where the items set
// aside in it begin on the stack, and the layer its items (and those of the regions inside it)
// make.
struct OpenRegion {
  // What the region does when its turn comes again.
  enum class Next { Start, Item, Gap, ItemDone, Closed };

  Region region{};
  std::optional<OrientedItem> firstOrientation;  // placed as given, without asking the chooser
  Layer layer;
  double x = 0;
  double y = 0;
  double rowLength = 0;                  // the longest item placed in the current row
  std::optional<OrientedItem> previous;  // placed last in the current row
  std::optional<OrientedItem> current;   // placed just now, waiting for its stack and gap
  std::size_t setAsideFrom = 0;          // the stack's mark when the region opened
  bool hasSetAside = false;              // whether items wait set aside above the items to try
  Next next = Next::Start;

  // Starts afresh for a region; the layer keeps its storage for the next region.
  void open(const Region& newRegion, std::optional<OrientedItem> first, std::size_t mark) {
    region = newRegion;
    firstOrientation = std::move(first);
    layer.clear();
    x = newRegion.x0;
    y = newRegion.y0;
    rowLength = 0;
    previous.reset();
    current.reset();
    setAsideFrom = mark;
    hasSetAside = false;
    next = Next::Start;
  }
};

// The regions being filled, outermost first. The stack above an item and the gap behind it are
// regions inside the one being filled; they wait here rather than on the call stack, because a
// tower of thin items nests them as deep as there are items.
// Closed regions stay in place so that their layers keep their storage for the next ones, and
// the storage of a list that is done goes to the next list made on the same thread (every trial
// fill of the lookahead makes one).
class OpenRegions {
 public:
  OpenRegions();
  ~OpenRegions();
  OpenRegions(const OpenRegions&) = delete;
  OpenRegions& operator=(const OpenRegions&) = delete;

  std::size_t size() const { return open_; }
  OpenRegion& innermost() { return regions_[open_ - 1]; }
  OpenRegion& outermost() { return regions_[0]; }

  // Opens a region inside the innermost one (or the outermost, when none is open); `mark` is the
  // stack's, where the items the region sets aside will begin.
  OpenRegion& open(const Region& region, std::optional<OrientedItem> firstOrientation,
                   std::size_t mark) {
    if (open_ == regions_.size()) regions_.emplace_back();
    OpenRegion& opened = regions_[open_++];
    opened.open(region, std::move(firstOrientation), mark);
    return opened;
  }

  // Closes the innermost region and puts its layer into the one around it.
  void closeInnermost() {
    --open_;
    regions_[open_ - 1].layer.merge(std::move(regions_[open_].layer));
  }

  // Closes every region, the outermost too, whose layer stays until the next open.
  void clear() { open_ = 0; }

 private:
  std::vector<OpenRegion> regions_;
  std::size_t open_ = 0;  // regions_[0, open_) are open
};

}  // namespace varbex
