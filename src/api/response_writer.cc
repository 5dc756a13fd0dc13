#include "api/response_writer.h"

#include <cstdint>
#include <string>
#include <vector>

#include "api/json_writer.h"

namespace varbex {
namespace {

// A box group, or null for an item that may go into any box.
void writeValue(JsonWriter& out, const std::string* group) {
  if (group) {
    out.value(*group);
  } else {
    out.null();
  }
}

template <typename Value>
void writeValue(JsonWriter& out, const Value& value) {
  out.value(value);
}

// A placement as its box lists it, and where the members naming the box go when it is listed
// again under "placements": their two keys sort between "box_group" and "depth". Written once,
// used twice.
struct PlacementText {
  std::string json;
  std::size_t boxMembersAt;  // the comma before "depth"
};

PlacementText placementText(const PlacedItem& placed) {
  const Item& item = *placed.item;
  PlacementText text;
  JsonWriter out(text.json);
  out.beginObject();
  out.key("ItemCode");
  out.value(item.itemCode());
  out.key("ItemReference");
  out.value(item.itemReference());
  out.key("box_group");
  writeValue(out, boxGroupOf(item));
  text.boxMembersAt = text.json.size();
  out.key("depth");
  out.value(placed.depth);
  out.key("length");
  out.value(placed.length);
  out.key("orientation");
  out.value(std::string_view(placed.orientation.c_str(), placed.orientation.size()));
  out.key("original_depth");
  out.value(item.depth());
  out.key("original_length");
  out.value(item.length());
  out.key("original_width");
  out.value(item.width());
  out.key("rotated");
  out.value(placed.isRotated());
  out.key("weight");
  out.value(item.weight());
  out.key("width");
  out.value(placed.width);
  out.key("x");
  out.value(placed.x);
  out.key("y");
  out.value(placed.y);
  out.key("z");
  out.value(placed.z);
  out.endObject();
  return text;
}

// The placement with the members that name its box, `boxMembers` (",\"box_index\":...").
void writePlacementInBox(JsonWriter& out, const PlacementText& text,
                         const std::string& boxMembers) {
  std::string json;
  json.reserve(text.json.size() + boxMembers.size());
  json.append(text.json, 0, text.boxMembersAt);
  json.append(boxMembers);
  json.append(text.json, text.boxMembersAt, std::string::npos);
  out.raw(json);
}

// ,"box_index":N,"box_reference":"..." as the writer would put them.
std::string boxMembersOf(std::size_t index, const std::string& reference) {
  std::string object;
  JsonWriter out(object);
  out.beginObject();
  out.key("box_index");
  out.value(static_cast<std::uint64_t>(index));
  out.key("box_reference");
  out.value(reference);
  out.endObject();
  // {"box_index":...} without its braces, after a comma.
  return "," + object.substr(1, object.size() - 2);
}

void writeNumberOrNull(JsonWriter& out, bool known, double number) {
  if (known) {
    out.value(number);
  } else {
    out.null();
  }
}

void writeBoxResult(JsonWriter& out, const FilledBox& filled, std::size_t index,
                    const std::vector<PlacementText>& placements) {
  const Box& box = *filled.box();
  const double usedVolume = filled.usedVolume();
  out.beginObject();
  out.key("box_index");
  out.value(static_cast<std::uint64_t>(index));
  out.key("box_reference");
  out.value(box.reference());
  out.key("depth");
  out.value(box.depth());
  out.key("empty_weight");
  out.value(box.emptyWeight());
  out.key("inner_volume");
  out.value(box.innerVolume());
  out.key("item_count");
  out.value(static_cast<std::uint64_t>(filled.itemCount()));
  out.key("item_weight");
  out.value(filled.itemWeight());
  out.key("items");
  out.beginArray();
  for (const PlacementText& placement : placements) out.raw(placement.json);
  out.endArray();
  out.key("length");
  out.value(box.length());
  out.key("max_weight");
  writeNumberOrNull(out, box.hasMaxWeight(), box.maxWeight());
  out.key("remaining_depth");
  out.value(box.depth() - filled.usedDepth());
  out.key("remaining_length");
  out.value(box.length() - filled.usedLength());
  out.key("remaining_weight");
  writeNumberOrNull(out, box.hasMaxWeight(), box.hasMaxWeight() ? filled.remainingWeight() : 0);
  out.key("remaining_width");
  out.value(box.width() - filled.usedWidth());
  out.key("unused_volume");
  out.value(box.innerVolume() - usedVolume);
  out.key("used_depth");
  out.value(filled.usedDepth());
  out.key("used_length");
  out.value(filled.usedLength());
  out.key("used_volume");
  out.value(usedVolume);
  out.key("used_width");
  out.value(filled.usedWidth());
  out.key("volume_utilisation");
  out.value(filled.volumeUtilisation());
  out.key("weight");
  out.value(filled.totalWeight());
  out.key("width");
  out.value(box.width());
  out.endObject();
}

// The unplaced item in its own JSON form, written as text.
void writeItem(JsonWriter& out, const Item& item) {
  out.beginObject();
  visitJsonMembers(item, [&out](const char* key, const auto& value) {
    out.key(key);
    writeValue(out, value);
  });
  out.endObject();
}

void writeSummary(JsonWriter& out, const PackingOutcome& outcome) {
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
  out.beginObject();
  out.key("box_count");
  out.value(static_cast<std::uint64_t>(outcome.filledBoxes.size()));
  out.key("overall_volume_utilisation");
  out.value(innerVolume <= 0 ? 0.0 : (usedVolume / innerVolume) * 100);
  out.key("total_placed");
  out.value(totalPlaced);
  out.key("total_unplaced");
  out.value(static_cast<std::int32_t>(outcome.unplacedItems.size()));
  out.endObject();
}

}  // namespace

std::string responseText(const PackingOutcome& outcome) {
  std::string text;
  JsonWriter out(text);
  const std::vector<FilledBox>& boxes = outcome.filledBoxes.sorted();
  std::vector<std::vector<PlacementText>> placements(boxes.size());
  for (std::size_t index = 0; index < boxes.size(); ++index) {
    for (const PlacedItem& placed : boxes[index].items()) {
      placements[index].push_back(placementText(placed));
    }
  }
  out.beginObject();
  out.key("boxes");
  out.beginArray();
  for (std::size_t index = 0; index < boxes.size(); ++index) {
    writeBoxResult(out, boxes[index], index, placements[index]);
  }
  out.endArray();
  out.key("placements");
  out.beginArray();
  for (std::size_t index = 0; index < boxes.size(); ++index) {
    const std::string boxMembers = boxMembersOf(index, boxes[index].box()->reference());
    for (const PlacementText& placement : placements[index]) {
      writePlacementInBox(out, placement, boxMembers);
    }
  }
  out.endArray();
  out.key("success");
  out.value(outcome.success);
  out.key("summary");
  writeSummary(out, outcome);
  out.key("unplaced_item_codes");
  out.beginArray();
  for (const ItemRef& item : outcome.unplacedItems.sorted()) out.value(item->itemCode());
  out.endArray();
  out.key("unplaced_items");
  out.beginArray();
  for (const ItemRef& item : outcome.unplacedItems.sorted()) writeItem(out, *item);
  out.endArray();
  out.endObject();
  return text;
}

}  // namespace varbex
