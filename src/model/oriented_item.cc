#include "model/oriented_item.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/sorted_triple.h"

namespace varbex {

OrientedItem::OrientedItem(ItemRef item, double width, double length, double depth,
                           OrientationCode orientation)
    : item(std::move(item)),
      width(width),
      length(length),
      depth(depth),
      orientation(orientation) {}

int OrientedItem::allowedCount(RotationPolicy policy) {
  switch (policy) {
    case RotationPolicy::Never:
      return 1;
    case RotationPolicy::KeepFlat:
      return 2;
    case RotationPolicy::BestFit:
      break;
  }
  return 6;
}

OrientationCode OrientedItem::codeOf(int index) {
  static const OrientationCode kCodes[6] = {"WLD", "LWD", "WDL", "LDW", "DWL", "DLW"};
  return kCodes[index];
}

std::vector<OrientedItem> OrientedItem::allowedOrientations(const ItemRef& item) {
  const int count = allowedCount(item->rotationPolicy());
  std::vector<OrientedItem> result;
  result.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    const Extents e = extentsOf(k, item->width(), item->length(), item->depth());
    result.emplace_back(item, e.width, e.length, e.depth, codeOf(k));
  }
  return result;
}

bool OrientedItem::isStable(double width, double length, double depth) {
  const double height = depth == 0 ? 1.0 : depth;
  const double ratio = std::min(width, length) / height;
  // atan is monotonic and accurate to an ulp, so a ratio clearly on one side of tan(0.261) is
  // decided without it; only ratios within a hair of the boundary (and NaN) take the exact test.
  constexpr double kTanThreshold = 0.2670925944670468;  // tan(0.261), to the nearest double
  if (ratio > kTanThreshold * (1 + 1e-9)) return true;
  if (ratio < kTanThreshold * (1 - 1e-9)) return false;
  // Strict: an angle of exactly 0.261 radians tips over.
  return std::atan(ratio) > 0.261;
}

bool OrientedItem::hasSameShape(const Item& other) const {
  if (item.get() == &other) return true;
  return SortedTriple(width, length, depth) == shapeOf(other);
}

}  // namespace varbex
