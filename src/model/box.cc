#include "model/box.h"

#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/fixed_six.h"

namespace varbex {

bool Box::hasMaxWeight() const { return maxWeight() >= 0; }

double Box::innerVolume() const { return (width() * length()) * depth(); }

double Box::payloadCapacity() const {
  if (!hasMaxWeight()) return -1;
  return std::max(maxWeight() - emptyWeight(), 0.0);
}

nlohmann::json Box::toJson() const {
  nlohmann::json json;
  json["Reference"] = reference();
  json["Width"] = width();
  json["Length"] = length();
  json["Depth"] = depth();
  json["MaxWeight"] = hasMaxWeight() ? nlohmann::json(maxWeight()) : nlohmann::json(nullptr);
  json["BoxWeight"] = emptyWeight();
  json["Active"] = isActive();
  json["MaximumBoxes"] = nullptr;
  json["InnerVolume"] = innerVolume();
  return json;
}

nlohmann::json LimitedSupplyBox::toJson() const {
  nlohmann::json json = Box::toJson();
  json["MaximumBoxes"] = maximumBoxes();
  return json;
}

ConcreteBox::ConcreteBox(std::string reference, double width, double length, double depth,
                         double maxWeight, double emptyWeight, bool active)
    : reference_(std::move(reference)),
      width_(width),
      length_(length),
      depth_(depth),
      maxWeight_(maxWeight),
      emptyWeight_(emptyWeight),
      active_(active) {}

ConcreteLimitedSupplyBox::ConcreteLimitedSupplyBox(ConcreteBox box, std::int32_t maximumBoxes)
    : box_(std::move(box)), maximumBoxes_(maximumBoxes) {}

WorkingVolume::WorkingVolume(double width, double length, double depth)
    : width_(width), length_(length), depth_(depth) {}

const std::string& WorkingVolume::reference() const {
  std::call_once(named_, [this] {
    reference_ = "Working Volume " + fixedSix(width_) + "x" + fixedSix(length_) + "x" +
                 fixedSix(depth_);
  });
  return reference_;
}

}  // namespace varbex
