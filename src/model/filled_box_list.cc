#include "model/filled_box_list.h"

#include <cmath>

namespace varbex {

bool FilledBoxKeys::isUnordered(const FilledBox& box) {
  return std::isnan(box.volumeUtilisation()) || std::isnan(box.usedVolume());
}

double FilledBoxList::meanItemWeight() const {
  if (isEmpty()) return 0;
  double sum = 0;
  for (const FilledBox& box : entries()) sum += box.itemWeight();
  return sum / static_cast<double>(size());
}

}  // namespace varbex
