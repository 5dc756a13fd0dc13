#include "model/oriented_item.h"

#include <algorithm>
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
  // An angle atan(ratio) above 0.261 radians stands, at 0.261 it tips over. atan is monotonic, so
  // the test is ratio > kLargestTippingRatio, with no atan whose last bit may differ by platform.
  // Derived once with 300-bit arithmetic (mpmath): a correctly rounded atan(x) exceeds the double
  // nearest 0.261 exactly when x > tan(m), m the midpoint between that double and the next one up;
  // tan(m) = 0.26709259446704681530..., and the largest double below it is this constant
  // (0.26709259446704680662...). glibc's atan gives the same verdict on every double within 1e-9
  // of it. A NaN ratio compares false: it tips.
  constexpr double kLargestTippingRatio = 0x1.1180b898f582cp-2;
  return ratio > kLargestTippingRatio;
}

bool OrientedItem::hasSameShape(const Item& other) const {
  if (item.get() == &other) return true;
  return SortedTriple(width, length, depth) == shapeOf(other);
}

}  // namespace varbex
