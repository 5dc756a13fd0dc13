#pragma once

#include <cstddef>

#include "model/item.h"
#include "orient/item_stack.h"

namespace varbex {

// The caller's stack as a layer works through it. An item set aside at the current position stays
// in its place, above the items still to try, and the items set aside go back by closing the gaps
// that the items taken out left below and among them: their order is the order they had, and
// neither setting an item aside nor putting the items back moves the ones that stay.
// A region's set-aside items are those between the items to try and the mark it took on opening.
class SetAsideStack {
 public:
  explicit SetAsideStack(ItemStack& items)
      : items_(items), toTry_(items.size()), firstGap_(items.size()) {}
  // A layer cut short by an exception loses no item: those set aside go back on top.
  ~SetAsideStack() {
    if (closed_) return;
    putBack(items_.size());
    close();
  }
  SetAsideStack(const SetAsideStack&) = delete;
  SetAsideStack& operator=(const SetAsideStack&) = delete;

  // The items still to try, the next one last.
  ItemStackView toTry() const { return ItemStackView(items_.data(), toTry_); }
  bool empty() const { return toTry_ == 0; }

  // Where the items set aside from now on begin.
  std::size_t mark() const { return toTry_; }

  // The next item, taken in hand: it is no longer among the items to try, but keeps its place
  // until it is taken out, or else stays there set aside.
  const ItemRef& takeNext() {
    inHand_ = --toTry_;
    return items_[inHand_];
  }
  // The item in hand leaves the stack: it was placed or dropped.
  void takeOut() {
    items_[inHand_].reset();
    firstGap_ = inHand_;  // every item below it is still to try
  }
  // The next item to try goes aside untried.
  void setAsideNext() { --toTry_; }

  // With nothing left to try, the items set aside since `mark` become the items to try.
  void putBack(std::size_t mark);
  // The caller's stack becomes what is left to try, in its order; call with nothing set aside.
  void close() {
    items_.resize(toTry_);
    closed_ = true;
  }

 private:
  ItemStack& items_;
  std::size_t toTry_;       // items_[0, toTry_) are still to try
  std::size_t inHand_ = 0;  // the place of the item taken last
  // No place below this one is empty: the gaps lie above the items to try, and the latest item
  // taken out left the lowest.
  std::size_t firstGap_;
  bool closed_ = false;
};

}  // namespace varbex
