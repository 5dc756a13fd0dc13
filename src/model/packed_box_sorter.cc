#include "model/packed_box_sorter.h"

namespace varbex {

std::int32_t DefaultPackedBoxSorter::compare(const FilledBox& a, const FilledBox& b) const {
  if (a.itemCount() != b.itemCount()) return a.itemCount() > b.itemCount() ? -1 : 1;
  const double utilisationA = a.volumeUtilisation();
  const double utilisationB = b.volumeUtilisation();
  if (!(utilisationA == utilisationB)) return utilisationA > utilisationB ? -1 : 1;
  const double usedA = a.usedVolume();
  const double usedB = b.usedVolume();
  if (usedA == usedB) return 0;
  return usedA > usedB ? -1 : 1;
}

}  // namespace varbex
