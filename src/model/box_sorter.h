#pragma once

#include <cstdint>

#include "model/box.h"

namespace varbex {

// Orders box types: negative when a comes first, positive when b does, 0 when equal.
class BoxSorter {
 public:
  virtual ~BoxSorter() = default;
  virtual std::int32_t compare(const Box& a, const Box& b) const = 0;
};

// Small, light boxes first: ascending inner volume, ascending empty weight, then descending payload
// capacity with unlimited boxes first.
class DefaultBoxSorter final : public BoxSorter {
 public:
  std::int32_t compare(const Box& a, const Box& b) const override;
};

}  // namespace varbex
