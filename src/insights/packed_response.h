#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace varbex::insights {

// One placement of a response as the insights read it: where the item stands, as placed.
struct PlacedExtent {
  std::string itemCode;
  double x = 0, y = 0, z = 0;
  double width = 0, length = 0, depth = 0;  // along x, y and z as placed
  double weight = 0;
};

// One box of a response with the inner size its type has.
struct PackedBox {
  std::string reference;
  double width = 0, length = 0, depth = 0;
  std::vector<PlacedExtent> items;  // in the box's loading order
};

// The parts of a response document the insights measure. Numbers the response writes as null
// (they were not finite) read as NaN.
struct PackedResponse {
  std::vector<PackedBox> boxes;
  std::vector<nlohmann::json> unplacedItems;  // the items' own JSON forms, in response order
  std::size_t placedCount() const;
};

// Reads a parsed response; anything that is not a packing response (an error envelope included)
// throws std::invalid_argument naming the member at fault.
PackedResponse readPackedResponse(const nlohmann::json& document);

}  // namespace varbex::insights
