#include "model/box_sorter.h"

#include <limits>

namespace varbex {
namespace {

// An unlimited box carries "everything", so it sorts as the largest capacity.
double capacityKey(const Box& box) {
  const double capacity = box.payloadCapacity();
  return capacity < 0 ? std::numeric_limits<double>::max() : capacity;
}

}  // namespace

// Every "differ" test is written as !(a == b) so that a NaN counts as a difference and, since no
// comparison with it holds, lands on +1.
std::int32_t DefaultBoxSorter::compare(const Box& a, const Box& b) const {
  const double volumeA = a.innerVolume();
  const double volumeB = b.innerVolume();
  if (!(volumeA == volumeB)) return volumeB > volumeA ? -1 : 1;
  const double emptyA = a.emptyWeight();
  const double emptyB = b.emptyWeight();
  if (!(emptyA == emptyB)) return emptyB > emptyA ? -1 : 1;
  const double capacityA = capacityKey(a);
  const double capacityB = capacityKey(b);
  if (!(capacityA == capacityB)) return capacityA > capacityB ? -1 : 1;
  return 0;
}

}  // namespace varbex
