#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/filled_box.h"
#include "model/item.h"

namespace varbex {

// The working record of one packing pass; several passes of one start add to the same record.
struct PackingAttempt {
  std::vector<FilledBox> filled;  // in filling order
  std::vector<ItemRef> unplaced;  // in the order given up on
  std::unordered_map<std::string, std::int32_t> boxesUsed;  // by box reference
  std::int64_t work = 0;  // box trials made
};

}  // namespace varbex
