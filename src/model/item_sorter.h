#pragma once

#include <cstdint>

#include "model/item.h"

namespace varbex {

// Orders items: negative when a comes first, positive when b does, 0 when equal.
class ItemSorter {
 public:
  virtual ~ItemSorter() = default;
  virtual std::int32_t compare(const Item& a, const Item& b) const = 0;
};

// Ungrouped items first, then groups by name in byte order; within a group, larger volume, then
// heavier, then item code in byte order.
class DefaultItemSorter final : public ItemSorter {
 public:
  std::int32_t compare(const Item& a, const Item& b) const override;
};

}  // namespace varbex
