#include "api/response_writer.h"

#include <cstdint>

#include <nlohmann/json.hpp>

#include "model/json_teardown.h"

namespace varbex {
namespace {

using nlohmann::json;

json placementOf(const PlacedItem& placed) {
  const Item& item = *placed.item;
  // Every value built here is dismantled if memory runs out midway (see json_teardown.h).
  json placement;
  const DismantleOnThrow guard(placement);
  placement["ItemCode"] = item.itemCode();
  placement["ItemReference"] = item.itemReference();
  const std::string* group = boxGroupOf(item);
  placement["box_group"] = group ? json(*group) : json(nullptr);
  placement["depth"] = placed.depth;
  placement["length"] = placed.length;
  placement["orientation"] = placed.orientation.str();
  placement["original_depth"] = item.depth();
  placement["original_length"] = item.length();
  placement["original_width"] = item.width();
  placement["rotated"] = placed.isRotated();
  placement["weight"] = item.weight();
  placement["width"] = placed.width;
  placement["x"] = placed.x;
  placement["y"] = placed.y;
  placement["z"] = placed.z;
  return placement;
}

json boxResultOf(const FilledBox& filled, std::size_t index) {
  const Box& box = *filled.box();
  const double itemWeight = filled.itemWeight();
  const double usedVolume = filled.usedVolume();
  json result;
  const DismantleOnThrow guard(result);
  result["box_index"] = index;
  result["box_reference"] = box.reference();
  result["depth"] = box.depth();
  result["empty_weight"] = box.emptyWeight();
  result["inner_volume"] = box.innerVolume();
  result["item_count"] = filled.itemCount();
  result["item_weight"] = itemWeight;
  json items = json::array();
  const DismantleOnThrow itemsGuard(items);
  for (const PlacedItem& placed : filled.items()) {
    json placement = placementOf(placed);
    const DismantleOnThrow placementGuard(placement);
    items.push_back(std::move(placement));
  }
  result["items"] = std::move(items);
  result["length"] = box.length();
  result["max_weight"] = box.hasMaxWeight() ? json(box.maxWeight()) : json(nullptr);
  result["remaining_depth"] = box.depth() - filled.usedDepth();
  result["remaining_length"] = box.length() - filled.usedLength();
  result["remaining_weight"] =
      box.hasMaxWeight() ? json(filled.remainingWeight()) : json(nullptr);
  result["remaining_width"] = box.width() - filled.usedWidth();
  result["unused_volume"] = box.innerVolume() - usedVolume;
  result["used_depth"] = filled.usedDepth();
  result["used_length"] = filled.usedLength();
  result["used_volume"] = usedVolume;
  result["used_width"] = filled.usedWidth();
  result["volume_utilisation"] = filled.volumeUtilisation();
  result["weight"] = filled.totalWeight();
  result["width"] = box.width();
  return result;
}

json summaryOf(const PackingOutcome& outcome) {
  std::int32_t totalPlaced = 0;
  double usedVolume = 0;
  double innerVolume = 0;
  for (const FilledBox& filled : outcome.filledBoxes.sorted()) {
    // Added up as a 32-bit count, wrapping rather than overflowing.
    totalPlaced = static_cast<std::int32_t>(static_cast<std::uint32_t>(totalPlaced) +
                                            static_cast<std::uint32_t>(filled.itemCount()));
    usedVolume += filled.usedVolume();
    innerVolume += filled.box()->innerVolume();
  }
  json summary;
  const DismantleOnThrow guard(summary);
  summary["box_count"] = outcome.filledBoxes.size();
  summary["overall_volume_utilisation"] = innerVolume <= 0 ? 0.0 : (usedVolume / innerVolume) * 100;
  summary["total_placed"] = totalPlaced;
  summary["total_unplaced"] = static_cast<std::int32_t>(outcome.unplacedItems.size());
  return summary;
}

}  // namespace

json writeResponse(const PackingOutcome& outcome) {
  json response;
  const DismantleOnThrow guard(response);
  response["success"] = outcome.success;
  json boxes = json::array();
  const DismantleOnThrow boxesGuard(boxes);
  json placements = json::array();
  const DismantleOnThrow placementsGuard(placements);
  std::size_t index = 0;
  for (const FilledBox& filled : outcome.filledBoxes.sorted()) {
    json result = boxResultOf(filled, index);
    const DismantleOnThrow resultGuard(result);
    boxes.push_back(std::move(result));
    for (const PlacedItem& placed : filled.items()) {
      json placement = placementOf(placed);
      const DismantleOnThrow placementGuard(placement);
      placement["box_index"] = index;
      placement["box_reference"] = filled.box()->reference();
      placements.push_back(std::move(placement));
    }
    ++index;
  }
  response["boxes"] = std::move(boxes);
  response["placements"] = std::move(placements);
  json unplaced = json::array();
  const DismantleOnThrow unplacedGuard(unplaced);
  json unplacedCodes = json::array();
  const DismantleOnThrow codesGuard(unplacedCodes);
  for (const ItemRef& item : outcome.unplacedItems.sorted()) {
    json form = item->toJson();
    const DismantleOnThrow formGuard(form);
    unplaced.push_back(std::move(form));
    unplacedCodes.push_back(item->itemCode());
  }
  response["unplaced_items"] = std::move(unplaced);
  response["unplaced_item_codes"] = std::move(unplacedCodes);
  json summary = summaryOf(outcome);
  const DismantleOnThrow summaryGuard(summary);
  response["summary"] = std::move(summary);
  return response;
}

std::string responseText(const PackingOutcome& outcome, int indent) {
  return writeResponse(outcome).dump(indent < 0 ? -1 : indent, ' ', false,
                                     json::error_handler_t::strict);
}

}  // namespace varbex
