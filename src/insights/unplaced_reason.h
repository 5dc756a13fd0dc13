#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/box.h"
#include "model/item.h"

namespace varbex::insights {

// Why an item found no place, the first of these that holds, in this order.
enum class UnplacedReason {
  NoActiveBoxType,  // the request has no active box type
  TooLarge,         // no active type takes it in any orientation its policy allows
  TooHeavy,         // every active type that takes it by size has too little payload capacity
  BoxSupplyUsedUp,  // every type that takes it by size and weight is in limited supply, all used
  NoRoom,           // an empty box of a type with supply left takes it; the packing did not
};

const char* reasonCode(UnplacedReason reason);
constexpr int kReasonCount = 5;

struct UnplacedVerdict {
  UnplacedReason reason;
  std::string message;  // one line naming the numbers
};

// How many boxes of each type reference a response uses; the library counts supply the same way.
using BoxesUsed = std::map<std::string, std::int64_t>;

// Whether the item fits an empty box of the type in an orientation its policy allows, compared
// exactly as the library compares extents with free room.
bool fitsBySize(const Item& item, const Box& box);
// Whether the box type's payload capacity takes the item's weight (no weight limit always does).
bool fitsByWeight(const Item& item, const Box& box);
// Whether the response leaves boxes of the type to use: unlimited supply, or fewer used than allowed.
bool hasSupplyLeft(const Box& box, const BoxesUsed& used);

// The verdict for an unplaced item, given the request's box types in document order.
UnplacedVerdict explainUnplaced(const Item& item, const std::vector<BoxRef>& boxTypes,
                                const BoxesUsed& used);

}  // namespace varbex::insights
