#include "insights/packed_response.h"

#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace varbex::insights {
namespace {

using nlohmann::json;

const json& member(const json& object, const char* key, const std::string& where) {
  if (!object.is_object() || !object.contains(key)) {
    throw std::invalid_argument(where + " has no \"" + key + "\"");
  }
  return object.at(key);
}

const json& arrayMember(const json& object, const char* key, const std::string& where) {
  const json& value = member(object, key, where);
  if (!value.is_array()) throw std::invalid_argument(where + " \"" + key + "\" is not a list");
  return value;
}

// The writer turns a number that is not finite into null; reading it back as NaN keeps every
// measure that depends on it null as well.
double number(const json& object, const char* key, const std::string& where) {
  const json& value = member(object, key, where);
  if (value.is_null()) return std::numeric_limits<double>::quiet_NaN();
  if (!value.is_number()) throw std::invalid_argument(where + " \"" + key + "\" is not a number");
  return value.get<double>();
}

std::string text(const json& object, const char* key, const std::string& where) {
  const json& value = member(object, key, where);
  if (!value.is_string()) throw std::invalid_argument(where + " \"" + key + "\" is not a string");
  return value.get<std::string>();
}

PlacedExtent readPlacement(const json& value, const std::string& where) {
  PlacedExtent placed;
  placed.itemCode = text(value, "ItemCode", where);
  placed.x = number(value, "x", where);
  placed.y = number(value, "y", where);
  placed.z = number(value, "z", where);
  placed.width = number(value, "width", where);
  placed.length = number(value, "length", where);
  placed.depth = number(value, "depth", where);
  placed.weight = number(value, "weight", where);
  return placed;
}

PackedBox readBox(const json& value, const std::string& where) {
  PackedBox box;
  box.reference = text(value, "box_reference", where);
  box.width = number(value, "width", where);
  box.length = number(value, "length", where);
  box.depth = number(value, "depth", where);
  const json& items = arrayMember(value, "items", where);
  box.items.reserve(items.size());
  for (std::size_t k = 0; k < items.size(); ++k) {
    box.items.push_back(readPlacement(items[k], where + " item " + std::to_string(k)));
  }
  return box;
}

}  // namespace

std::size_t PackedResponse::placedCount() const {
  std::size_t count = 0;
  for (const PackedBox& box : boxes) count += box.items.size();
  return count;
}

PackedResponse readPackedResponse(const json& document) {
  if (!document.is_object()) throw std::invalid_argument("it is not a JSON object");
  if (document.contains("error")) {
    const json& error = document.at("error");
    throw std::invalid_argument("it is an error envelope: " +
                                (error.is_string() ? error.get<std::string>() : error.dump()));
  }
  PackedResponse response;
  const json& boxes = arrayMember(document, "boxes", "the response");
  response.boxes.reserve(boxes.size());
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    response.boxes.push_back(readBox(boxes[k], "box " + std::to_string(k)));
  }
  const json& unplaced = arrayMember(document, "unplaced_items", "the response");
  response.unplacedItems.assign(unplaced.begin(), unplaced.end());
  return response;
}

}  // namespace varbex::insights
