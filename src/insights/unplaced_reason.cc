#include "insights/unplaced_reason.h"

#include <functional>

#include "insights/number_text.h"
#include "model/oriented_item.h"

namespace varbex::insights {
namespace {

std::int64_t usedOf(const Box& box, const BoxesUsed& used) {
  const auto found = used.find(box.reference());
  return found == used.end() ? 0 : found->second;
}

const LimitedSupplyBox* limitedSupply(const Box& box) {
  return dynamic_cast<const LimitedSupplyBox*>(&box);
}

// The first type with the smallest (or largest) inner volume among those `keep` accepts.
const Box* extremeByVolume(const std::vector<const Box*>& boxes, bool largest) {
  const Box* chosen = nullptr;
  for (const Box* box : boxes) {
    if (chosen == nullptr || (largest ? box->innerVolume() > chosen->innerVolume()
                                      : box->innerVolume() < chosen->innerVolume())) {
      chosen = box;
    }
  }
  return chosen;
}

std::string orientationsText(RotationPolicy policy) {
  switch (policy) {
    case RotationPolicy::Never:
      return "the one orientation Never allows";
    case RotationPolicy::KeepFlat:
      return "the 2 orientations KeepFlat allows";
    case RotationPolicy::BestFit:
      break;
  }
  return "any of the 6 orientations BestFit allows";
}

std::string tooLargeMessage(const Item& item, const std::vector<const Box*>& active) {
  const Box& largest = *extremeByVolume(active, true);
  return sizeText(item.width(), item.length(), item.depth()) + " fits no active box type in " +
         orientationsText(item.rotationPolicy()) + "; the largest, " + largest.reference() +
         ", is " + sizeText(largest.width(), largest.length(), largest.depth()) + " inside";
}

std::string tooHeavyMessage(const Item& item, const std::vector<const Box*>& bySize) {
  const Box* strongest = nullptr;
  for (const Box* box : bySize) {
    if (strongest == nullptr || box->payloadCapacity() > strongest->payloadCapacity()) {
      strongest = box;
    }
  }
  return "weight " + numberText(item.weight()) +
         " is over the payload capacity of every box type it fits; the largest, " +
         strongest->reference() + ", carries " + numberText(strongest->payloadCapacity()) +
         " (maximum weight " + numberText(strongest->maxWeight()) + " less empty weight " +
         numberText(strongest->emptyWeight()) + ")";
}

std::string supplyMessage(const std::vector<const Box*>& fitting, const BoxesUsed& used) {
  constexpr std::size_t kNamed = 4;
  std::string text = "every box type it fits is used up:";
  for (std::size_t k = 0; k < fitting.size() && k < kNamed; ++k) {
    const Box& box = *fitting[k];
    text += (k == 0 ? " " : ", ") + box.reference() + " " + std::to_string(usedOf(box, used)) +
            " of " + std::to_string(limitedSupply(box)->maximumBoxes());
  }
  if (fitting.size() > kNamed) text += " and " + std::to_string(fitting.size() - kNamed) + " more";
  return text;
}

std::string noRoomMessage(const Item& item, const Box& box, const BoxesUsed& used) {
  std::string supply = "unlimited supply";
  if (const LimitedSupplyBox* limited = limitedSupply(box)) {
    supply = std::to_string(usedOf(box, used)) + " of " + std::to_string(limited->maximumBoxes()) +
             " used";
  }
  return sizeText(item.width(), item.length(), item.depth()) + ", weight " +
         numberText(item.weight()) + ", fits an empty " + box.reference() + " (" +
         sizeText(box.width(), box.length(), box.depth()) + " inside, " + supply +
         ") but the packing found it no place";
}

std::vector<const Box*> those(const std::vector<const Box*>& boxes,
                              const std::function<bool(const Box&)>& keep) {
  std::vector<const Box*> kept;
  for (const Box* box : boxes) {
    if (keep(*box)) kept.push_back(box);
  }
  return kept;
}

}  // namespace

const char* reasonCode(UnplacedReason reason) {
  switch (reason) {
    case UnplacedReason::NoActiveBoxType:
      return "no_active_box_type";
    case UnplacedReason::TooLarge:
      return "too_large";
    case UnplacedReason::TooHeavy:
      return "too_heavy";
    case UnplacedReason::BoxSupplyUsedUp:
      return "box_supply_used_up";
    case UnplacedReason::NoRoom:
      break;
  }
  return "no_room";
}

bool fitsBySize(const Item& item, const Box& box) {
  const int count = OrientedItem::allowedCount(item.rotationPolicy());
  for (int k = 0; k < count; ++k) {
    const auto e = OrientedItem::extentsOf(k, item.width(), item.length(), item.depth());
    if (box.width() >= e.width && box.length() >= e.length && box.depth() >= e.depth) return true;
  }
  return false;
}

bool fitsByWeight(const Item& item, const Box& box) {
  const double capacity = box.payloadCapacity();
  return capacity < 0 || !(item.weight() > capacity);
}

bool hasSupplyLeft(const Box& box, const BoxesUsed& used) {
  const LimitedSupplyBox* limited = limitedSupply(box);
  return limited == nullptr || usedOf(box, used) < limited->maximumBoxes();
}

UnplacedVerdict explainUnplaced(const Item& item, const std::vector<BoxRef>& boxTypes,
                                const BoxesUsed& used) {
  std::vector<const Box*> all;
  for (const BoxRef& box : boxTypes) all.push_back(box.get());
  const auto active = those(all, [](const Box& box) { return box.isActive(); });
  if (active.empty()) {
    std::string message = "the request has no box types";
    if (all.size() == 1) message = "the request's one box type is not active";
    if (all.size() > 1) message = "none of the request's " + std::to_string(all.size()) + " box types is active";
    return {UnplacedReason::NoActiveBoxType, message};
  }
  const auto bySize = those(active, [&item](const Box& box) { return fitsBySize(item, box); });
  if (bySize.empty()) return {UnplacedReason::TooLarge, tooLargeMessage(item, active)};
  const auto byWeight = those(bySize, [&item](const Box& box) { return fitsByWeight(item, box); });
  if (byWeight.empty()) return {UnplacedReason::TooHeavy, tooHeavyMessage(item, bySize)};
  const auto left = those(byWeight, [&used](const Box& box) { return hasSupplyLeft(box, used); });
  if (left.empty()) return {UnplacedReason::BoxSupplyUsedUp, supplyMessage(byWeight, used)};
  return {UnplacedReason::NoRoom, noRoomMessage(item, *extremeByVolume(left, false), used)};
}

}  // namespace varbex::insights
