#include "model/oriented_item.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/sorted_triple.h"

namespace varbex {

OrientedItem::OrientedItem(ItemRef item, double width, double length, double depth,
                           std::string orientation)
    : item(std::move(item)),
      width(width),
      length(length),
      depth(depth),
      orientation(std::move(orientation)) {}

std::vector<OrientedItem> OrientedItem::allowedOrientations(const ItemRef& item) {
  const double w = item->width();
  const double l = item->length();
  const double d = item->depth();
  std::vector<OrientedItem> result;
  result.emplace_back(item, w, l, d, "WLD");
  switch (item->rotationPolicy()) {
    case RotationPolicy::Never:
      return result;
    case RotationPolicy::KeepFlat:
      result.emplace_back(item, l, w, d, "LWD");
      return result;
    case RotationPolicy::BestFit:
      break;
  }
  result.reserve(6);
  result.emplace_back(item, l, w, d, "LWD");
  result.emplace_back(item, w, d, l, "WDL");
  result.emplace_back(item, l, d, w, "LDW");
  result.emplace_back(item, d, w, l, "DWL");
  result.emplace_back(item, d, l, w, "DLW");
  return result;
}

bool OrientedItem::isStable() const {
  const double height = depth == 0 ? 1.0 : depth;
  // Strict: an angle of exactly 0.261 radians tips over.
  return std::atan(std::min(width, length) / height) > 0.261;
}

bool OrientedItem::hasSameShape(const ItemRef& other) const {
  if (item == other) return true;
  return SortedTriple(width, length, depth) ==
         SortedTriple(other->width(), other->length(), other->depth());
}

}  // namespace varbex
