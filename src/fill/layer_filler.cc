#include "fill/layer_filler.h"

#include <algorithm>
#include <utility>

namespace varbex {
namespace {

double weightOf(const std::vector<PlacedItem>& placed) {
  double sum = 0;
  for (const PlacedItem& p : placed) sum += p.item->weight();
  return sum;
}

// The first skipped item becomes the next one taken.
void restoreSkipped(ItemStack& remaining, ItemStack& skipped) {
  remaining.insert(remaining.end(), skipped.rbegin(), skipped.rend());
  skipped.clear();
}

// The row state of one fillLayer call.
struct Row {
  double x;
  double y;
  double length = 0;  // the longest item placed in the row
  std::optional<OrientedItem> previous;
};

}  // namespace

LayerFiller::LayerFiller(BoxRef box, bool lookaheadDisabled, const TrialPacker* packer)
    : box_(box), chooser_(std::move(box), packer) {
  chooser_.setLookaheadDisabled(lookaheadDisabled);
}

Layer LayerFiller::fillLayer(ItemStack& remaining, std::vector<PlacedItem>& placed,
                             const Region& region, bool checkStability,
                             std::optional<OrientedItem> firstOrientation) {
  Layer layer;
  const double capacity = box_->payloadCapacity();
  if (remaining.empty()) return layer;
  Row row{region.x0, region.y0, 0, std::nullopt};
  ItemStack skipped;
  do {
    ItemRef item = std::move(remaining.back());
    remaining.pop_back();

    // Strictly greater: an item that uses up exactly what is left still goes in.
    if (capacity >= 0 && item->weight() > capacity - weightOf(placed)) {
      if (remaining.empty() && !skipped.empty()) restoreSkipped(remaining, skipped);
      continue;
    }

    std::optional<OrientedItem> orientation;
    if (firstOrientation && firstOrientation->item == item) {
      orientation = std::move(firstOrientation);
      firstOrientation.reset();
    } else {
      orientation = chooser_.chooseOrientation(
          item, row.previous ? &*row.previous : nullptr, remaining, region.xEnd - row.x,
          region.yEnd - row.y, region.freeDepth, row.length, checkStability);
    }

    if (!orientation) {
      if (!remaining.empty()) {
        // Copies of an item that did not fit are not offered again in this row; the last item
        // of the stack always stays so that the row goes on.
        skipped.push_back(item);
        while (remaining.size() >= 2 && haveSameShape(*remaining.back(), *item)) {
          skipped.push_back(std::move(remaining.back()));
          remaining.pop_back();
        }
        continue;
      }
      skipped.push_back(std::move(item));
      restoreSkipped(remaining, skipped);
      if (row.x > region.x0) {
        row.y += row.length;
        row.x = region.x0;
        row.length = 0;
        row.previous.reset();
        continue;
      }
      return layer;  // a fresh row takes nothing: no further row can start
    }

    const OrientedItem& o = *orientation;
    PlacedItem here(o, row.x, row.y, region.z0);
    layer.insert(here);
    placed.push_back(std::move(here));
    row.length = std::max(o.length, row.length);

    const double top = region.layerDepth > 0 ? region.layerDepth : layer.depth();
    const double above = top - o.depth;
    if (above > 0) {
      const Region stack{row.x, row.y, region.z0 + o.depth, row.x + o.width, row.y + o.length,
                         above, above};
      layer.merge(fillLayer(remaining, placed, stack, checkStability));
    }

    row.x += o.width;
    if (row.length > o.length) {
      const Region gap{row.x - o.width, row.y + o.length, region.z0, row.x, row.y + row.length,
                       region.freeDepth, layer.depth()};
      layer.merge(fillLayer(remaining, placed, gap, checkStability));
    }
    row.previous = std::move(orientation);
    if (remaining.empty() && !skipped.empty()) restoreSkipped(remaining, skipped);
  } while (!remaining.empty());
  return layer;
}

}  // namespace varbex
