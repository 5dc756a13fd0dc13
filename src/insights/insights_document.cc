#include "insights/insights_document.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "insights/box_stability.h"
#include "insights/unplaced_reason.h"
#include "base/json_teardown.h"

namespace varbex::insights {
namespace {

using nlohmann::json;

json optionalNumber(const std::optional<double>& value) {
  return value ? json(*value) : json(nullptr);
}

json boxEntry(std::size_t index, const PackedBox& box, const BoxStanding& standing) {
  json entry;
  entry["box_index"] = index;
  entry["box_reference"] = box.reference;
  if (standing.centreOfGravity) {
    const Point& c = *standing.centreOfGravity;
    entry["centre_of_gravity"] = {{"x", c.x}, {"y", c.y}, {"z", c.z}};
    entry["centre_of_gravity_offset"] = {{"x", optionalNumber(standing.offsetX)},
                                         {"y", optionalNumber(standing.offsetY)}};
  } else {
    entry["centre_of_gravity"] = nullptr;
    entry["centre_of_gravity_offset"] = nullptr;
  }
  json items = json::array();
  for (std::size_t k = 0; k < box.items.size(); ++k) {
    const ItemStanding& item = standing.items[k];
    items.push_back({{"ItemCode", box.items[k].itemCode},
                     {"load_on_top", optionalNumber(item.loadOnTop)},
                     {"overhang", item.overhang},
                     {"support", optionalNumber(item.support)}});
  }
  entry["items"] = std::move(items);
  return entry;
}

// The larger of the two sides of a box's offset, by size; nothing when it has none.
std::optional<double> largestSide(const BoxStanding& standing) {
  std::optional<double> largest;
  for (const auto& side : {standing.offsetX, standing.offsetY}) {
    if (side && !std::isnan(*side) && (!largest || std::fabs(*side) > *largest)) {
      largest = std::fabs(*side);
    }
  }
  return largest;
}

std::vector<BoxRef> boxTypesOf(const PackingRequest& request) {
  return request.boxes.entries();
}

// Boxes used per type reference; every box must be of a type the request has.
BoxesUsed countBoxes(const PackingRequest& request, const PackedResponse& response) {
  BoxesUsed used;
  for (const BoxRef& type : request.boxes.entries()) used.emplace(type->reference(), 0);
  for (std::size_t k = 0; k < response.boxes.size(); ++k) {
    const auto found = used.find(response.boxes[k].reference);
    if (found == used.end()) {
      throw std::invalid_argument("box " + std::to_string(k) + " is of type '" +
                                  response.boxes[k].reference + "', which the request does not have");
    }
    ++found->second;
  }
  return used;
}

void checkItemCount(const PackingRequest& request, const PackedResponse& response) {
  const std::size_t placed = response.placedCount();
  const std::size_t unplaced = response.unplacedItems.size();
  if (placed + unplaced != request.items.size()) {
    throw std::invalid_argument("it places " + std::to_string(placed) + " and leaves " +
                                std::to_string(unplaced) + " unplaced, but the request has " +
                                std::to_string(request.items.size()) + " items");
  }
}

json unplacedEntries(const PackingRequest& request, const PackedResponse& response,
                     json& byReason) {
  const std::vector<BoxRef> types = boxTypesOf(request);
  const BoxesUsed used = countBoxes(request, response);
  json entries = json::array();
  for (std::size_t k = 0; k < response.unplacedItems.size(); ++k) {
    ItemRef item;
    try {
      item = readItem(response.unplacedItems[k]);
    } catch (const std::exception& e) {
      throw std::invalid_argument("unplaced item " + std::to_string(k) + ": " + e.what());
    }
    const UnplacedVerdict verdict = explainUnplaced(*item, types, used);
    const char* code = reasonCode(verdict.reason);
    byReason[code] = byReason[code].get<int>() + 1;
    entries.push_back({{"ItemCode", item->itemCode()},
                       {"ItemReference", item->itemReference()},
                       {"message", verdict.message},
                       {"reason", code}});
  }
  return entries;
}

json parseText(const std::string& text) {
  json value;
  const DismantleOnThrow guard(value);
  nlohmann::detail::json_sax_dom_parser<json> builder(value, true);
  json::sax_parse(text, &builder);
  return value;
}

// Parses, reads and dismantles one document; failures carry the document's name.
template <typename Read>
auto readDocument(const char* name, const std::string& text, Read read) {
  json value;
  const DismantleOnThrow guard(value);
  try {
    value = parseText(text);
    auto result = read(value);
    dismantle(value);
    return result;
  } catch (const std::exception& e) {
    throw std::invalid_argument(std::string(name) + ": " + e.what());
  }
}

}  // namespace

json insightsDocument(const PackingRequest& request, const PackedResponse& response) {
  checkItemCount(request, response);
  json byReason = json::object();
  for (int r = 0; r < kReasonCount; ++r) byReason[reasonCode(static_cast<UnplacedReason>(r))] = 0;
  json document;
  document["unplaced"] = unplacedEntries(request, response, byReason);
  json boxes = json::array();
  std::size_t overhanging = 0;
  std::optional<double> largestOffset;
  for (std::size_t k = 0; k < response.boxes.size(); ++k) {
    BoxStanding standing;
    try {
      standing = measureBox(response.boxes[k]);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument("box " + std::to_string(k) + ": " + e.what());
    }
    for (const ItemStanding& item : standing.items) overhanging += item.overhang ? 1 : 0;
    const auto side = largestSide(standing);
    if (side && (!largestOffset || *side > *largestOffset)) largestOffset = side;
    boxes.push_back(boxEntry(k, response.boxes[k], standing));
  }
  document["boxes"] = std::move(boxes);
  document["summary"] = {{"largest_centre_of_gravity_offset", optionalNumber(largestOffset)},
                         {"overhanging_items", overhanging},
                         {"unplaced_by_reason", std::move(byReason)}};
  return document;
}

std::string insightsText(const std::string& requestText, const std::string& responseText) {
  PackingRequest request =
      readDocument("request", requestText, [](const json& v) { return readRequest(v); });
  PackedResponse response =
      readDocument("response", responseText, [](const json& v) { return readPackedResponse(v); });
  json document;
  try {
    document = insightsDocument(request, response);
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(std::string("response: ") + e.what());
  }
  const std::string text = document.dump(-1, ' ', false, json::error_handler_t::strict);
  return text;
}

}  // namespace varbex::insights
