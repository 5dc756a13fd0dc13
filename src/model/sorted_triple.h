#pragma once

#include <utility>

namespace varbex {

// Three extents sorted ascending, so that shapes compare regardless of orientation. Equality is
// exact; a NaN makes two triples unequal.
struct SortedTriple {
  double low, middle, high;

  SortedTriple(double a, double b, double c) : low(a), middle(b), high(c) {
    if (middle < low) std::swap(low, middle);
    if (high < middle) std::swap(middle, high);
    if (middle < low) std::swap(low, middle);
  }

  bool operator==(const SortedTriple& other) const {
    return low == other.low && middle == other.middle && high == other.high;
  }
};

}  // namespace varbex
