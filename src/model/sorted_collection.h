#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "base/portable_sort.h"
#include "base/portable_stable_sort.h"

namespace varbex {

// Elements in insertion order plus a lazily built view in sorter order. The view is rebuilt on the
// first sorted() after a change and cached until the next change; the sorter is shared by copies.
//
// KeyAccess adapts an element for the sorter (KeyAccess::of) and tells whether it carries a NaN
// sort key (KeyAccess::isUnordered).
template <typename Element, typename Sorter, typename KeyAccess>
class SortedCollection {
 public:
  explicit SortedCollection(std::shared_ptr<const Sorter> sorter) : sorter_(std::move(sorter)) {}

  void add(Element element) {
    entries_.push_back(std::move(element));
    sortedValid_ = false;
  }

  void reserve(std::size_t count) { entries_.reserve(count); }

  const std::vector<Element>& sorted() const {
    if (!sortedValid_) {
      sortedView_ = entries_;
      sortView();
      sortedValid_ = true;
    }
    return sortedView_;
  }

  const std::vector<Element>& entries() const { return entries_; }
  const std::shared_ptr<const Sorter>& sorter() const { return sorter_; }
  std::size_t size() const { return entries_.size(); }
  bool isEmpty() const { return entries_.empty(); }

 protected:
  std::vector<Element>& mutableEntries() {
    sortedValid_ = false;
    return entries_;
  }

 private:
  void sortView() const {
    const Sorter& sorter = *sorter_;
    const auto before = [&sorter](const Element& a, const Element& b) {
      return sorter.compare(KeyAccess::of(a), KeyAccess::of(b)) < 0;
    };
    // A NaN key breaks the strict weak order; such views take the merge sort's order, which the
    // answers for them follow. Both sorts stay in bounds with any comparator.
    if (std::any_of(sortedView_.begin(), sortedView_.end(), KeyAccess::isUnordered)) {
      portableStableSort(sortedView_.begin(), sortedView_.end(), before);
    } else {
      portableSort(sortedView_.begin(), sortedView_.end(), before);
    }
  }

  std::shared_ptr<const Sorter> sorter_;
  std::vector<Element> entries_;
  mutable std::vector<Element> sortedView_;
  mutable bool sortedValid_ = false;
};

}  // namespace varbex
