#include "fill/layer_filler.h"

#include <algorithm>
#include <utility>

namespace varbex {
namespace {

// Where the gap behind an item starts: (x + width) - width, as the row's arithmetic has it, unless
// that lands short of the item's own x by more than rounding noise. It can when the width dwarfs
// x (a 1e12-wide item after one 0.2 wide), and the gap would then reach back into the previous
// item; the item's own x is used then.
double gapStart(double itemX, double rowX, double width) {
  const double fromRow = rowX - width;
  return itemX - fromRow > 1e-9 ? itemX : fromRow;
}

// Once nothing is left to try, the items set aside go back: the first set aside is then the next
// one taken.
void putSetAsideBack(OpenRegion& r, SetAsideStack& stack) {
  stack.putBack(r.setAsideFrom);
  r.hasSetAside = false;
}

// Copies of an item that did not fit are not offered again in this row; the last item of the
// stack always stays so that the row goes on. Copies are the same object or the same shape, and
// equal shapes are equal among themselves (a side that is not a number equals nothing), so a run
// of copies of the item is a run of items each a copy of the one above it.
void setAsideWithItsCopies(OpenRegion& r, SetAsideStack& stack) {
  r.hasSetAside = true;
  while (true) {
    const StackedItems next = stack.stackedToTry();
    if (next.size() < 2 || !next.back().copyOfAbove()) return;
    stack.setAsideNext();
  }
}

// The next row begins beyond the longest item of this one.
void startNewRow(OpenRegion& r) {
  r.y += r.rowLength;
  r.x = r.region.x0;
  r.rowLength = 0;
  r.previous.reset();
}

// An item that fits nowhere at the current position waits set aside. When nothing is left to
// try, the items set aside go back on the stack and a new row starts, or, when the row is
// still empty, the layer ends (the region is closed with the stack restored).
void setAside(OpenRegion& r, SetAsideStack& stack) {
  if (!stack.empty()) {
    setAsideWithItsCopies(r, stack);
    return;
  }
  putSetAsideBack(r, stack);
  if (r.x > r.region.x0) {
    startNewRow(r);
  } else {
    r.next = OpenRegion::Next::Closed;
  }
}

// At the current position of the row, which grows as long as its longest item.
void place(OpenRegion& r, OrientedItem&& orientation, std::vector<PlacedItem>& placed) {
  PlacedItem here(orientation, r.x, r.y, r.region.z0);
  r.layer.insert(here);
  placed.push_back(std::move(here));
  r.rowLength = std::max(orientation.length, r.rowLength);
  r.current = std::move(orientation);
}

// Up to the layer's top: the region's fixed depth, or else the deepest item placed so far.
std::optional<Region> stackAbove(const OpenRegion& r) {
  const OrientedItem& o = *r.current;
  const double top = r.region.layerDepth > 0 ? r.region.layerDepth : r.layer.depth();
  const double above = top - o.depth;
  if (above <= 0) return std::nullopt;
  return Region{r.x, r.y, r.region.z0 + o.depth, r.x + o.width, r.y + o.length, above, above};
}

// Between the item's far side and the end of its row, when the row is longer than the item.
std::optional<Region> gapBehind(const OpenRegion& r, double itemX) {
  const OrientedItem& o = *r.current;
  if (r.rowLength <= o.length) return std::nullopt;
  return Region{gapStart(itemX, r.x, o.width), r.y + o.length, r.region.z0, r.x,
                r.y + r.rowLength, r.region.freeDepth, r.layer.depth()};
}

// The item placed becomes the one its row's next item follows; false when nothing is left.
bool finishItem(OpenRegion& r, SetAsideStack& stack) {
  r.previous = std::move(r.current);
  r.current.reset();
  if (stack.empty() && r.hasSetAside) putSetAsideBack(r, stack);
  return !stack.empty();
}

}  // namespace

Room roomOf(const Region& region) {
  return Room(region.xEnd - region.x0, region.yEnd - region.y0, region.freeDepth);
}

double LayerFiller::PlacedWeight::of(const std::vector<PlacedItem>& placed) {
  // Start again for another list, or for one that was cut back or changed under us.
  if (&placed != list_ || placed.size() < count_ ||
      (count_ > 0 && placed[count_ - 1].item.get() != last_)) {
    list_ = &placed;
    count_ = 0;
    sum_ = 0;
  }
  for (; count_ < placed.size(); ++count_) sum_ += weightOf(*placed[count_].item);
  last_ = count_ > 0 ? placed[count_ - 1].item.get() : nullptr;
  return sum_;
}

LayerFiller::LayerFiller(OrientationChooser& chooser)
    : chooser_(chooser), capacity_(chooser.box().payloadCapacity()) {}

bool LayerFiller::dropsNothing(ItemStackView remaining,
                               const std::vector<PlacedItem>& placed) {
  if (capacity_ < 0) return true;
  const double left = capacity_ - placedWeight_.of(placed);
  return std::none_of(remaining.begin(), remaining.end(),
                      [left](const ItemRef& item) { return weightOf(*item) > left; });
}

bool LayerFiller::dropsNothing(StackedItems remaining, const std::vector<PlacedItem>& placed) {
  if (capacity_ < 0) return true;
  const double left = capacity_ - placedWeight_.of(placed);
  return std::none_of(remaining.begin(), remaining.end(),
                      [left](const StackedItem& item) { return item.weight() > left; });
}

bool LayerFiller::carriesUpTo(double heaviest, const std::vector<PlacedItem>& placed) {
  return capacity_ < 0 || !(heaviest > capacity_ - placedWeight_.of(placed));
}

Layer LayerFiller::fillLayer(ItemStack& remaining, std::vector<PlacedItem>& placed,
                             const Region& region, bool checkStability,
                             std::optional<OrientedItem> firstOrientation) {
  fillLayerInPlace(remaining, placed, region, checkStability, std::move(firstOrientation));
  return std::move(regions_.outermost().layer);
}

// The region given is the outermost; the stack above each item and the gap behind it open inside
// the region that placed the item, and each closes into it when done.
const Layer& LayerFiller::fillLayerInPlace(ItemStack& remaining, std::vector<PlacedItem>& placed,
                                           const Region& region, bool checkStability,
                                           std::optional<OrientedItem> firstOrientation) {
  SetAsideStack stack(remaining, stacked_);
  layerBegins(stack.stackedToTry());
  // Storage for the whole layer at once; new each time when fillLayer hands the layer out.
  regions_.open(region, std::move(firstOrientation), stack.mark()).layer.reserve(remaining.size());
  while (true) {
    const std::optional<Region> inner = advance(regions_.innermost(), stack, placed, checkStability);
    if (inner) {
      regions_.open(*inner, std::nullopt, stack.mark());
    } else if (regions_.size() > 1) {
      regions_.closeInnermost();
    } else {
      regions_.clear();
      stack.close();
      return regions_.outermost().layer;
    }
  }
}

std::optional<Region> LayerFiller::advance(OpenRegion& r, SetAsideStack& stack,
                                           std::vector<PlacedItem>& placed,
                                           bool checkStability) {
  using Next = OpenRegion::Next;
  while (true) {
    switch (r.next) {
      case Next::Start:
        if (!worthFilling(r, stack, placed)) return std::nullopt;
        r.next = Next::Item;
        break;
      case Next::Item:
        if (!placeNextItem(r, stack, placed, checkStability)) {
          if (r.next == Next::Closed || stack.empty()) return std::nullopt;
          break;  // the item was dropped, or a new row begins
        }
        r.next = Next::Gap;
        if (std::optional<Region> stack = stackAbove(r)) return stack;
        break;
      case Next::Gap: {
        const double itemX = r.x;
        r.x += r.current->width;
        r.next = Next::ItemDone;
        if (std::optional<Region> gap = gapBehind(r, itemX)) return gap;
        break;
      }
      case Next::ItemDone:
        if (!finishItem(r, stack)) return std::nullopt;
        r.next = Next::Item;
        break;
      case Next::Closed:
        return std::nullopt;
    }
  }
}

bool LayerFiller::worthFilling(const OpenRegion&, const SetAsideStack& stack,
                               const std::vector<PlacedItem>&) {
  return !stack.empty();
}

// Takes the next item and places it at the current position; false when it was dropped or set
// aside instead; the region is closed when no further row can begin.
bool LayerFiller::placeNextItem(OpenRegion& r, SetAsideStack& stack,
                                std::vector<PlacedItem>& placed, bool checkStability) {
  const Room room(r.region.xEnd - r.x, r.region.yEnd - r.y, r.region.freeDepth);
  // Nothing is placed while items are set aside here, so what the box can still carry stays.
  const double left = capacity_ >= 0 ? capacity_ - placedWeight_.of(placed) : 0;
  // Items that do not fit are set aside one after the other without leaving this position.
  while (true) {
    const ItemRef& item = stack.takeNext();
    const StackedItem& stacked = stack.inHand();
    // Strictly greater: an item that uses up exactly what is left still goes in.
    if (capacity_ >= 0 && stacked.weight() > left) {
      stack.takeOut();
      if (stack.empty() && r.hasSetAside) putSetAsideBack(r, stack);
      return false;
    }
    std::optional<OrientedItem> orientation =
        orientationFor(r, item, stacked, room, stack.toTry(), checkStability);
    if (orientation) {
      stack.takeOut();  // the orientation holds the item
      place(r, std::move(*orientation), placed);
      return true;
    }
    // With other items left, setAside only sets this one aside, and the next is tried here.
    const bool tryNext = !stack.empty();
    setAside(r, stack);
    if (!tryNext) return false;
  }
}

std::optional<OrientedItem> LayerFiller::orientationFor(OpenRegion& r, const ItemRef& item,
                                                        const StackedItem& stacked,
                                                        const Room& room,
                                                        ItemStackView nextItems,
                                                        bool checkStability) {
  if (r.firstOrientation && r.firstOrientation->item == item) {
    std::optional<OrientedItem> first = std::move(r.firstOrientation);
    r.firstOrientation.reset();
    return first;
  }
  if (!mayHaveCandidate(stacked, room)) return std::nullopt;
  return chooser_.chooseOrientation(item, r.previous ? &*r.previous : nullptr, nextItems,
                                    room.width, room.length, room.depth, r.rowLength,
                                    checkStability);
}

}  // namespace varbex
