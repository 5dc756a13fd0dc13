#pragma once

#include <cstddef>
#include <vector>

#include "model/box.h"
#include "model/placed_item.h"

namespace varbex {

// One box with the items placed in it. Nothing is cached: every metric is computed from the box
// and the items when asked, summing in item order so results agree to the last bit.
class FilledBox {
 public:
  explicit FilledBox(BoxRef box);
  // The box with these items, in this order.
  FilledBox(BoxRef box, std::vector<PlacedItem> items);

  void addItem(PlacedItem item);

  const BoxRef& box() const { return box_; }
  const std::vector<PlacedItem>& items() const { return items_; }

  std::size_t itemCount() const { return items_.size(); }
  double itemWeight() const;
  double totalWeight() const;
  double remainingWeight() const;  // -1 when the box has no maximum weight
  double usedVolume() const;
  double unusedVolume() const;
  double volumeUtilisation() const;  // a percentage; 0 for a box without positive volume
  double usedWidth() const;
  double usedLength() const;
  double usedDepth() const;
  double remainingWidth() const;
  double remainingLength() const;
  double remainingDepth() const;

 private:
  BoxRef box_;
  std::vector<PlacedItem> items_;
};

}  // namespace varbex
