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

  // All three compared at once rather than one after the other: whether two shapes are equal is
  // what the scans over a stack ask most, and a guess on each side alone would often be wrong.
  bool operator==(const SortedTriple& other) const {
    return (low == other.low) & (middle == other.middle) & (high == other.high);
  }
};

}  // namespace varbex
