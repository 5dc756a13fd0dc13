#pragma once

#include <cstdint>

namespace varbex {

// Whether a double converts to a 64-bit integer without leaving its range: false beyond it and
// for NaN, where the conversion would be undefined. The engine then pins the value to the lowest
// integer, as the x86 conversion does, so that the answers are those of the machines it was
// written on.
inline bool withinInt64(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  return value > -kLimit && value < kLimit;
}

// Truncation toward zero, pinned to the lowest integer outside the range.
inline std::int64_t truncateToInt64(double value) {
  return withinInt64(value) ? static_cast<std::int64_t>(value) : INT64_MIN;
}

}  // namespace varbex
