#include "api/request_reader.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "model/box_sorter.h"
#include "model/item_sorter.h"

namespace varbex {
namespace {

using nlohmann::json;

bool isGiven(const json& object, const char* key) {
  return object.contains(key) && !object.at(key).is_null();
}

double numberOr(const json& object, const char* key, double fallback) {
  return isGiven(object, key) ? object.at(key).get<double>() : fallback;
}

std::string textOr(const json& object, const char* key, std::string fallback) {
  return isGiven(object, key) ? object.at(key).get<std::string>() : std::move(fallback);
}

// The library's conversion of a real to a 32-bit integer is undefined beyond that range, so
// reals are truncated here and clamped to it; integers and booleans convert as the library does.
std::int32_t boxCount(const json& value) {
  if (!value.is_number_float()) return value.get<std::int32_t>();
  const double real = value.get<double>();
  if (std::isnan(real)) return 0;
  if (real <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  if (real >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(real);
}

}  // namespace

PackingRequest readRequest(const json& value) {
  ItemPool items(std::make_shared<DefaultItemSorter>());
  if (value.is_object() && value.contains("items")) {
    // Iteration walks an array's elements, an object's values in key order, nothing for null,
    // and a scalar as itself (which then fails as an item).
    for (const json& item : value.at("items")) items.add(readItem(item));
  }
  BoxPool boxes(std::make_shared<DefaultBoxSorter>());
  if (value.is_object() && value.contains("boxes")) {
    for (const json& box : value.at("boxes")) boxes.add(readBox(box));
  }
  return PackingRequest{std::move(items), std::move(boxes)};
}

ItemRef readItem(const json& value) {
  if (!value.is_object() || !value.contains("ItemCode")) {
    throw std::invalid_argument("item is missing required field 'ItemCode'");
  }
  std::string code = value.at("ItemCode").get<std::string>();
  const RotationPolicy policy = parseRotationPolicy(textOr(value, "AllowedRotation", "BestFit"));
  const double weight = numberOr(value, "Weight", 0);
  const double depth = value.at("Depth").get<double>();
  const double length = value.at("Length").get<double>();
  const double width = value.at("Width").get<double>();
  std::string reference = textOr(value, "ItemReference", code);
  ConcreteItem item(std::move(code), std::move(reference), width, length, depth, weight, policy);
  std::string group = textOr(value, "BoxGroup", "");
  if (group.empty()) return std::make_shared<ConcreteItem>(std::move(item));
  return std::make_shared<ConcreteLinkedItem>(std::move(item), std::move(group));
}

BoxRef readBox(const json& value) {
  if (!value.is_object() || !value.contains("Reference")) {
    throw std::invalid_argument("box is missing required field 'Reference'");
  }
  if (!isGiven(value, "MaxWeight")) {
    throw std::invalid_argument("box '" + value.at("Reference").get<std::string>() +
                                "' is missing required field 'MaxWeight'");
  }
  const bool active = isGiven(value, "Active") ? value.at("Active").get<bool>() : true;
  const double emptyWeight = numberOr(value, "BoxWeight", 0);
  const double maxWeight = value.at("MaxWeight").get<double>();
  const double depth = value.at("Depth").get<double>();
  const double length = value.at("Length").get<double>();
  const double width = value.at("Width").get<double>();
  std::string reference = value.at("Reference").get<std::string>();
  ConcreteBox box(std::move(reference), width, length, depth, maxWeight, emptyWeight, active);
  if (!isGiven(value, "MaximumBoxes")) return std::make_shared<ConcreteBox>(std::move(box));
  return std::make_shared<ConcreteLimitedSupplyBox>(std::move(box),
                                                    boxCount(value.at("MaximumBoxes")));
}

}  // namespace varbex
