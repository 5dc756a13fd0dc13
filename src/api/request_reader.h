#pragma once

#include <nlohmann/json_fwd.hpp>

#include "model/box.h"
#include "model/box_pool.h"
#include "model/item.h"
#include "model/item_pool.h"

namespace varbex {

// The items and box types of one request, in document order.
struct PackingRequest {
  ItemPool items;
  BoxPool boxes;
};

// Reads a parsed request. A top level that is not an object is an empty request. Members are
// read in a fixed order, so a faulty request always gets the same message; any failure throws
// and nothing partial is returned.
PackingRequest readRequest(const nlohmann::json& value);
ItemRef readItem(const nlohmann::json& value);
BoxRef readBox(const nlohmann::json& value);

}  // namespace varbex
