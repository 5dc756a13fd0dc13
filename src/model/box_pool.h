#pragma once

#include <cmath>

#include "model/box.h"
#include "model/box_sorter.h"
#include "model/sorted_collection.h"

namespace varbex {

struct BoxKeys {
  static const Box& of(const BoxRef& box) { return *box; }
  static bool isUnordered(const BoxRef& box) {
    return std::isnan(box->innerVolume()) || std::isnan(box->emptyWeight()) ||
           std::isnan(box->payloadCapacity());
  }
};

// Box types of a request, ordered by a shared BoxSorter.
using BoxPool = SortedCollection<BoxRef, BoxSorter, BoxKeys>;

}  // namespace varbex
