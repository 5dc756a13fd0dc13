#pragma once

#include <string>
#include <vector>

#include "model/item.h"
#include "model/orientation_code.h"

namespace varbex {

// An item turned into one of six axis-aligned orientations. The code names which of the item's
// own dimensions (W, L, D) lies along x, y and z; "WLD" is unturned.
struct OrientedItem {
  ItemRef item;
  double width = 0;   // along x
  double length = 0;  // along y
  double depth = 0;   // along z
  OrientationCode orientation;

  OrientedItem() = default;
  OrientedItem(ItemRef item, double width, double length, double depth,
               OrientationCode orientation);

  // The orientations the item's rotation policy allows, in a fixed order; equal shapes all stay.
  static std::vector<OrientedItem> allowedOrientations(const ItemRef& item);

  // How many orientations the policy allows; they are the first ones of the fixed order.
  static int allowedCount(RotationPolicy policy);
  // The extents of orientation `index` (0 = "WLD" ... 5 = "DLW") of an item w x l x d.
  struct Extents {
    double width, length, depth;
  };
  static Extents extentsOf(int index, double w, double l, double d) {
    switch (index) {
      case 0:
        return {w, l, d};
      case 1:
        return {l, w, d};
      case 2:
        return {w, d, l};
      case 3:
        return {l, d, w};
      case 4:
        return {d, w, l};
      default:
        return {d, l, w};
    }
  }
  static OrientationCode codeOf(int index);

  bool isRotated() const { return orientation != "WLD"; }
  // Whether the item stands without tipping: its narrow side against its height.
  bool isStable() const { return isStable(width, length, depth); }
  static bool isStable(double width, double length, double depth);
  // Same item object, or equal extents once both triples are sorted.
  bool hasSameShape(const ItemRef& other) const { return hasSameShape(*other); }
  bool hasSameShape(const Item& other) const;
};

}  // namespace varbex
