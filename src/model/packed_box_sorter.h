#pragma once

#include <cstdint>

#include "model/filled_box.h"

namespace varbex {

// Orders filled boxes: negative when a comes first, positive when b does, 0 when equal.
class PackedBoxSorter {
 public:
  virtual ~PackedBoxSorter() = default;
  virtual std::int32_t compare(const FilledBox& a, const FilledBox& b) const = 0;
};

// The box chooser's preference: more items, then higher utilisation, then more used volume.
class DefaultPackedBoxSorter final : public PackedBoxSorter {
 public:
  std::int32_t compare(const FilledBox& a, const FilledBox& b) const override;
};

}  // namespace varbex
