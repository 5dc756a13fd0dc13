#include "model/item.h"

#include <stdexcept>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/json_teardown.h"

namespace varbex {

double Item::volume() const { return (width() * length()) * depth(); }

nlohmann::json Item::toJson() const {
  nlohmann::json json;
  const DismantleOnThrow guard(json);  // out of memory midway: see json_teardown.h
  visitJsonMembers(*this, [&json](const char* key, const auto& value) {
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, const std::string*>) {
      json[key] = value ? nlohmann::json(*value) : nlohmann::json(nullptr);
    } else {
      json[key] = value;
    }
  });
  return json;
}

ConcreteItem::ConcreteItem(std::string itemCode, std::string itemReference, double width,
                           double length, double depth, double weight,
                           RotationPolicy rotationPolicy)
    : itemCode_(std::move(itemCode)),
      itemReference_(std::move(itemReference)),
      width_(width),
      length_(length),
      depth_(depth),
      weight_(weight),
      rotationPolicy_(rotationPolicy),
      shape_(width, length, depth),
      volume_((width * length) * depth) {}

ConcreteLinkedItem::ConcreteLinkedItem(ConcreteItem item, std::string boxGroup)
    : item_(std::move(item)), boxGroup_(std::move(boxGroup)) {
  if (boxGroup_.empty()) {
    throw std::invalid_argument("ConcreteLinkedItem requires a non-empty box group");
  }
}


}  // namespace varbex
