#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "model/box.h"
#include "model/item.h"

namespace varbex {

// x rounded to six decimals exactly as the C format "%f" rounds it (the exact binary value,
// halves to even), as a sign and a count of millionths; nothing when it rounds to 1e9 or more, and
// for NaN.
struct Micros {
  bool negative;  // the sign bit: "%f" writes -0.000000 for small negative values
  std::int64_t count;

  bool operator==(const Micros& other) const {
    return negative == other.negative && count == other.count;
  }
};
std::optional<Micros> roundedMicros(double x);

// The stability memo's key: an item's width, length, depth and rotation policy and the box's
// width, length and depth, each at the six decimals of "%f". Two shapes share a key exactly when
// their "%f" texts (shapeKeyText) are equal.
struct ShapeKey {
  std::array<std::int64_t, 8> words{};
  bool operator==(const ShapeKey& other) const { return words == other.words; }
};

struct ShapeKeyHash {
  std::size_t operator()(const ShapeKey& key) const;
};

// The key without formatting text, when every value is within range.
std::optional<ShapeKey> shapeKeyOf(const Item& item, const Box& box);

// The same key as text, "10.000000|20.000000|5.000000|2|100.000000|80.000000|60.000000": used for
// values beyond the range of shapeKeyOf.
std::string shapeKeyText(const Item& item, const Box& box);

}  // namespace varbex
