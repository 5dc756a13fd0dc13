#include "fill/layer_filler.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "fill/layer_filler_shortcuts.h"
#include "fill/room.h"

namespace varbex {
namespace {

// The first skipped item becomes the next one taken.
void restoreSkipped(ItemStack& remaining, ItemStack& skipped) {
  remaining.insert(remaining.end(), std::make_move_iterator(skipped.rbegin()),
                   std::make_move_iterator(skipped.rend()));
  skipped.clear();
}

// Where the gap behind an item starts: (x + width) - width, as the row's arithmetic has it, unless
// that lands short of the item's own x by more than rounding noise. It can when the width dwarfs
// x (a 1e12-wide item after one 0.2 wide), and the gap would then reach back into the previous
// item; the item's own x is used then.
double gapStart(double itemX, double rowX, double width) {
  const double fromRow = rowX - width;
  return itemX - fromRow > 1e-9 ? itemX : fromRow;
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

bool LayerFiller::dropsNothing(const ItemStack& remaining,
                               const std::vector<PlacedItem>& placed) {
  if (capacity_ < 0) return true;
  const double left = capacity_ - placedWeight_.of(placed);
  return std::none_of(remaining.begin(), remaining.end(),
                      [left](const ItemRef& item) { return weightOf(*item) > left; });
}

// Every trial fill makes a filler, and the lists in its frames would otherwise be allocated afresh.
std::vector<std::vector<LayerFiller::Frame>>& LayerFiller::spareFrameStacks() {
  thread_local std::vector<std::vector<Frame>> spares;
  return spares;
}

LayerFiller::LayerFiller(BoxRef box, bool lookaheadDisabled, const TrialPacker* packer,
                         const Shortcuts& shortcuts)
    : box_(box),
      shortcuts_(shortcuts),
      capacity_(box->payloadCapacity()),
      chooser_(std::move(box), packer, shortcuts) {
  chooser_.setLookaheadDisabled(lookaheadDisabled);
  std::vector<std::vector<Frame>>& spares = spareFrameStacks();
  if (!spares.empty()) {
    frames_ = std::move(spares.back());
    spares.pop_back();
  }
}

LayerFiller::~LayerFiller() {
  constexpr std::size_t kMaxSpares = 8;  // a trial fill nests in a fill, never deeper
  constexpr std::size_t kMaxFramesKept = 64;  // a tower of thin items is not worth keeping
  std::vector<std::vector<Frame>>& spares = spareFrameStacks();
  if (spares.size() >= kMaxSpares || frames_.empty() || frames_.size() > kMaxFramesKept) return;
  // Nothing may keep items alive past the filler; the lists keep their storage.
  for (Frame& frame : frames_) frame.open(Region{}, std::nullopt);
  try {
    spares.push_back(std::move(frames_));
  } catch (...) {
    // Out of memory: the frames are simply freed.
  }
}

Layer LayerFiller::fillLayer(ItemStack& remaining, std::vector<PlacedItem>& placed,
                             const Region& region, bool checkStability,
                             std::optional<OrientedItem> firstOrientation) {
  fillLayerInPlace(remaining, placed, region, checkStability, std::move(firstOrientation));
  return std::move(frames_[0].layer);
}

const Layer& LayerFiller::fillLayerInPlace(ItemStack& remaining, std::vector<PlacedItem>& placed,
                                           const Region& region, bool checkStability,
                                           std::optional<OrientedItem> firstOrientation) {
  // No item joins the stack during the call, so these sides stay below those of what is left.
  smallestSides_ = smallestSides(remaining);
  std::size_t open = 0;  // frames_[0, open) are in use, the innermost last
  openFrame(open++, region, std::move(firstOrientation));
  // Storage for the whole layer at once; new each time when fillLayer hands the layer out.
  frames_[0].layer.reserve(remaining.size());
  while (true) {
    std::optional<Region> inner = advance(frames_[open - 1], remaining, placed, checkStability);
    if (inner) {
      openFrame(open++, *inner, std::nullopt);
      continue;
    }
    --open;
    if (open == 0) return frames_[0].layer;
    frames_[open - 1].layer.merge(std::move(frames_[open].layer));
  }
}

void LayerFiller::openFrame(std::size_t at, const Region& region,
                            std::optional<OrientedItem> firstOrientation) {
  if (at == frames_.size()) frames_.emplace_back();
  frames_[at].open(region, std::move(firstOrientation));
}

std::optional<Region> LayerFiller::advance(Frame& f, ItemStack& remaining,
                                           std::vector<PlacedItem>& placed,
                                           bool checkStability) {
  using Step = Frame::Step;
  while (true) {
    switch (f.step) {
      case Step::Start:
        if (remaining.empty()) return std::nullopt;
        if (passesOver(f, remaining, placed)) return std::nullopt;
        f.step = Step::NextItem;
        break;
      case Step::NextItem:
        if (placeNextItem(f, remaining, placed, checkStability)) {
          f.step = Step::AfterStack;
          const OrientedItem& o = *f.current;
          const double top = f.region.layerDepth > 0 ? f.region.layerDepth : f.layer.depth();
          const double above = top - o.depth;
          if (above > 0) {
            return Region{f.x, f.y, f.region.z0 + o.depth, f.x + o.width, f.y + o.length, above,
                          above};
          }
        } else if (f.step == Step::Closed || remaining.empty()) {
          return std::nullopt;  // the layer is closed, or nothing is left to try
        }
        break;
      case Step::AfterStack: {
        const OrientedItem& o = *f.current;
        const double start = f.x;
        f.x += o.width;
        f.step = Step::AfterGap;
        if (f.rowLength > o.length) {
          return Region{gapStart(start, f.x, o.width), f.y + o.length, f.region.z0, f.x,
                        f.y + f.rowLength, f.region.freeDepth, f.layer.depth()};
        }
        break;
      }
      case Step::Closed:
        return std::nullopt;
      case Step::AfterGap:
        f.previous = std::move(f.current);
        f.current.reset();
        if (remaining.empty() && !f.skipped.empty()) restoreSkipped(remaining, f.skipped);
        if (remaining.empty()) return std::nullopt;
        f.step = Step::NextItem;
        break;
    }
  }
}

// Takes the next item and places it at the current position; false when it was dropped or set
// aside instead; the frame is closed when no further row can begin.
bool LayerFiller::placeNextItem(Frame& f, ItemStack& remaining, std::vector<PlacedItem>& placed,
                                bool checkStability) {
  const double freeWidth = f.region.xEnd - f.x;
  const double freeLength = f.region.yEnd - f.y;
  const Room room(freeWidth, freeLength, f.region.freeDepth);
  // Nothing is placed while items are set aside here, so what the box can still carry stays.
  const double left = capacity_ >= 0 ? capacity_ - placedWeight_.of(placed) : 0;
  // Items that do not fit are set aside one after the other without leaving this position.
  while (true) {
    ItemRef item = std::move(remaining.back());
    remaining.pop_back();

    // Strictly greater: an item that uses up exactly what is left still goes in.
    if (capacity_ >= 0 && weightOf(*item) > left) {
      if (remaining.empty() && !f.skipped.empty()) restoreSkipped(remaining, f.skipped);
      return false;
    }

    std::optional<OrientedItem> orientation;
    if (f.firstOrientation && f.firstOrientation->item == item) {
      orientation = std::move(f.firstOrientation);
      f.firstOrientation.reset();
    } else if (mayHaveCandidate(*item, room)) {
      orientation = chooser_.chooseOrientation(item, f.previous ? &*f.previous : nullptr,
                                               remaining, freeWidth, freeLength,
                                               f.region.freeDepth, f.rowLength, checkStability);
    }

    if (!orientation) {
      // With other items left, setAside only skips this one, and the next is tried here.
      const bool tryNext = !remaining.empty();
      setAside(f, std::move(item), remaining);
      if (tryNext) continue;
      return false;
    }

    PlacedItem here(*orientation, f.x, f.y, f.region.z0);
    f.layer.insert(here);
    placed.push_back(std::move(here));
    f.rowLength = std::max(orientation->length, f.rowLength);
    f.current = std::move(orientation);
    return true;
  }
}

// An item that fits nowhere at the current position waits in the skipped list. When nothing is
// left to try, the skipped items go back on the stack and a new row starts, or, when the row is
// still empty, the layer ends (the frame is closed with the stack restored).
void LayerFiller::setAside(Frame& f, ItemRef item, ItemStack& remaining) {
  if (!remaining.empty()) {
    // Copies of an item that did not fit are not offered again in this row; the last item of
    // the stack always stays so that the row goes on.
    const Item* const same = item.get();
    const SortedTriple shape = shapeOf(*item);
    f.skipped.push_back(std::move(item));
    while (remaining.size() >= 2 &&
           (remaining.back().get() == same || shapeOf(*remaining.back()) == shape)) {
      f.skipped.push_back(std::move(remaining.back()));
      remaining.pop_back();
    }
    return;
  }
  f.skipped.push_back(std::move(item));
  restoreSkipped(remaining, f.skipped);
  if (f.x > f.region.x0) {
    f.y += f.rowLength;
    f.x = f.region.x0;
    f.rowLength = 0;
    f.previous.reset();
    return;
  }
  f.step = Frame::Step::Closed;
}

}  // namespace varbex
