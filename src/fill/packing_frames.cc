#include "fill/packing_frames.h"

#include <algorithm>

namespace varbex {
namespace {

bool anyItemMayTurn(const std::vector<ItemRef>& items) {
  return std::any_of(items.begin(), items.end(), [](const ItemRef& item) {
    return item->rotationPolicy() != RotationPolicy::Never;
  });
}

}  // namespace

PackingFrames packingFrames(const Box& box, const std::vector<ItemRef>& items,
                            bool lookaheadMode) {
  PackingFrames frames{{box.width(), box.length()}};
  if (!lookaheadMode && anyItemMayTurn(items)) frames.emplace_back(box.length(), box.width());
  return frames;
}

}  // namespace varbex
