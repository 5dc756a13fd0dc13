#pragma once

#include "model/filled_box.h"
#include "model/packed_box_sorter.h"
#include "model/sorted_collection.h"

namespace varbex {

struct FilledBoxKeys {
  static const FilledBox& of(const FilledBox& box) { return box; }
  static bool isUnordered(const FilledBox& box);
};

// Filled boxes of a solve, ordered by a shared PackedBoxSorter.
class FilledBoxList : public SortedCollection<FilledBox, PackedBoxSorter, FilledBoxKeys> {
 public:
  using SortedCollection::SortedCollection;

  // Mean item weight per box: the target load of weight balancing; 0 for an empty list.
  double meanItemWeight() const;
};

}  // namespace varbex
