#pragma once

#include <cstddef>
#include <vector>

#include "model/item.h"
#include "model/rotation_policy.h"
#include "model/sorted_triple.h"
#include "orient/item_stack.h"

namespace varbex {

// What the scans over a stack read of an item, held in an array beside it, so that a scan reads
// that array in order rather than each item's own memory. The values are the item's own.
class StackedItem {
 public:
  explicit StackedItem(const Item& item)
      : item_(&item),
        shape_(0, 0, 0),
        width_(0),
        length_(0),
        depth_(0),
        weight_(0),
        rotationPolicy_(RotationPolicy::BestFit) {
    withItemData(item, [this](const auto& i) {
      shape_ = i.shape();
      width_ = i.width();
      length_ = i.length();
      depth_ = i.depth();
      weight_ = i.weight();
      rotationPolicy_ = i.rotationPolicy();
    });
  }

  const Item* item() const { return item_; }  // null once the item is taken out
  double width() const { return width_; }
  double length() const { return length_; }
  double depth() const { return depth_; }
  double weight() const { return weight_; }
  RotationPolicy rotationPolicy() const { return rotationPolicy_; }
  SortedTriple shape() const { return shape_; }
  // Whether the item above this one in the stack is this very item or has its shape: a run of
  // such items is what setting an item aside with its copies passes over.
  bool copyOfAbove() const { return copyOfAbove_; }

  void markTakenOut() { item_ = nullptr; }
  void setCopyOfAbove(const StackedItem& above) {
    copyOfAbove_ = item_ == above.item_ || shape_ == above.shape_;
  }

 private:
  const Item* item_;
  SortedTriple shape_;
  double width_, length_, depth_, weight_;
  RotationPolicy rotationPolicy_;
  bool copyOfAbove_ = false;
};

// A stretch of that array: the items still to try, the next one last.
class StackedItems {
 public:
  StackedItems(const StackedItem* first, std::size_t size) : first_(first), size_(size) {}
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const StackedItem& back() const { return first_[size_ - 1]; }
  const StackedItem* begin() const { return first_; }
  const StackedItem* end() const { return first_ + size_; }

 private:
  const StackedItem* first_;
  std::size_t size_;
};

// The caller's stack as a layer works through it. An item set aside at the current position stays
// in its place, above the items still to try, and the items set aside go back by closing the gaps
// that the items taken out left below and among them: their order is the order they had, and
// neither setting an item aside nor putting the items back moves the ones that stay.
// A region's set-aside items are those between the items to try and the mark it took on opening.
class SetAsideStack {
 public:
  // `stacked` is the array beside the stack, kept by the caller between layers: on closing it
  // holds what it holds of the stack that is left.
  SetAsideStack(ItemStack& items, std::vector<StackedItem>& stacked);
  // A layer cut short by an exception loses no item: those set aside go back on top.
  ~SetAsideStack() {
    if (closed_) return;
    putBack(items_.size());
    close();
  }
  SetAsideStack(const SetAsideStack&) = delete;
  SetAsideStack& operator=(const SetAsideStack&) = delete;

  // The items still to try, the next one last, as the chooser reads them and as the scans do.
  ItemStackView toTry() const { return ItemStackView(items_.data(), toTry_); }
  StackedItems stackedToTry() const { return StackedItems(stacked_.data(), toTry_); }
  bool empty() const { return toTry_ == 0; }

  // Where the items set aside from now on begin.
  std::size_t mark() const { return toTry_; }

  // The next item, taken in hand: it is no longer among the items to try, but keeps its place
  // until it is taken out, or else stays there set aside.
  const ItemRef& takeNext() {
    inHand_ = --toTry_;
    return items_[inHand_];
  }
  const StackedItem& inHand() const { return stacked_[inHand_]; }
  // The item in hand leaves the stack: it was placed or dropped.
  void takeOut() {
    items_[inHand_].reset();
    stacked_[inHand_].markTakenOut();
    firstGap_ = inHand_;  // every item below it is still to try
  }
  // The next item to try goes aside untried.
  void setAsideNext() { --toTry_; }

  // With nothing left to try, the items set aside since `mark` become the items to try.
  void putBack(std::size_t mark);
  // The caller's stack becomes what is left to try, in its order; call with nothing set aside.
  void close() {
    items_.resize(toTry_);
    stacked_.erase(stacked_.begin() + static_cast<std::ptrdiff_t>(toTry_), stacked_.end());
    closed_ = true;
  }

 private:
  // Tells the items in [from, to), and the one below, whether the one above is a copy.
  void linkCopies(std::size_t from, std::size_t to);

  ItemStack& items_;
  std::vector<StackedItem>& stacked_;  // in step with items_
  std::size_t toTry_;                  // items_[0, toTry_) are still to try
  std::size_t inHand_ = 0;             // the place of the item taken last
  // No place below this one is empty: the gaps lie above the items to try, and the latest item
  // taken out left the lowest.
  std::size_t firstGap_;
  bool closed_ = false;
};

}  // namespace varbex
