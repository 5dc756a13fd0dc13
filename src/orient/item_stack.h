#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

#include "model/item.h"

namespace varbex {

using ItemStack = std::vector<ItemRef>;  // the last element is the next item to try

// The items still to try, read where they stand: the bottom part of a stack whose top holds the
// items set aside at the current position. The stack must not change while the view is read.
class ItemStackView {
 public:
  using const_iterator = const ItemRef*;
  using const_reverse_iterator = std::reverse_iterator<const ItemRef*>;

  ItemStackView(const ItemStack& stack)  // NOLINT(google-explicit-constructor): any stack is one
      : begin_(stack.data()), size_(stack.size()) {}
  ItemStackView(const ItemRef* begin, std::size_t size) : begin_(begin), size_(size) {}

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const ItemRef& operator[](std::size_t i) const { return begin_[i]; }
  const ItemRef& back() const { return begin_[size_ - 1]; }
  const_iterator begin() const { return begin_; }
  const_iterator end() const { return begin_ + size_; }
  const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

 private:
  const ItemRef* begin_;
  std::size_t size_;
};

}  // namespace varbex
