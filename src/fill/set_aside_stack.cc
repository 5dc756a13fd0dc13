#include "fill/set_aside_stack.h"

#include <algorithm>
#include <utility>

namespace varbex {

namespace {

bool sameItems(const ItemStack& items, const std::vector<StackedItem>& stacked) {
  if (items.size() != stacked.size()) return false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].get() != stacked[i].item()) return false;
  }
  return true;
}

}  // namespace

SetAsideStack::SetAsideStack(ItemStack& items, std::vector<StackedItem>& stacked)
    : items_(items), stacked_(stacked), toTry_(items.size()), firstGap_(items.size()) {
  // A layer mostly begins with what the layer before left, or a copy of it, and the array that
  // layer left behind is still right: items never change, so the same objects tell.
  if (sameItems(items_, stacked_)) return;
  stacked_.clear();
  stacked_.reserve(items_.size());
  for (const ItemRef& item : items_) stacked_.emplace_back(*item);
  linkCopies(0, stacked_.size());
}

// Items keep their places but where the gaps close, so only the items from the first closed gap
// on, and the one below it, get a new item above them.
void SetAsideStack::linkCopies(std::size_t from, std::size_t to) {
  if (from > 0) --from;
  for (std::size_t i = from; i + 1 < to; ++i) stacked_[i].setCopyOfAbove(stacked_[i + 1]);
}

void SetAsideStack::putBack(std::size_t mark) {
  // Below the mark are only this region's set-aside items and the gaps of items taken out while
  // it was open: the regions inside it have put theirs back and closed.
  std::size_t kept = std::min(firstGap_, mark);
  while (kept < mark && stacked_[kept].item()) ++kept;
  const std::size_t firstClosed = kept;
  for (std::size_t i = kept; i < mark; ++i) {
    if (!stacked_[i].item()) continue;
    items_[kept] = std::move(items_[i]);
    stacked_[kept] = stacked_[i];
    stacked_[i].markTakenOut();  // the place it left is a gap like any other
    ++kept;
  }
  linkCopies(firstClosed, kept);
  toTry_ = kept;
  firstGap_ = kept;
}

}  // namespace varbex
