#include "model/item_sorter.h"

namespace varbex {

std::int32_t DefaultItemSorter::compare(const Item& a, const Item& b) const {
  const std::string* groupA = boxGroupOf(a);
  const std::string* groupB = boxGroupOf(b);
  if ((groupA == nullptr) != (groupB == nullptr)) return groupA ? 1 : -1;
  // std::string compares bytes as unsigned, and a proper prefix first.
  if (groupA && *groupA != *groupB) return *groupA < *groupB ? -1 : 1;
  const double volumeA = a.volume();
  const double volumeB = b.volume();
  if (!(volumeA == volumeB)) return volumeA > volumeB ? -1 : 1;
  const double weightA = a.weight();
  const double weightB = b.weight();
  if (!(weightA == weightB)) return weightA > weightB ? -1 : 1;
  if (a.itemCode() != b.itemCode()) return a.itemCode() < b.itemCode() ? -1 : 1;
  return 0;
}

}  // namespace varbex
