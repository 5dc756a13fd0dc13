#include "orient/shape_key.h"

#include <cmath>
#include <string>

#include "base/fixed_six.h"
#include "base/word_hash.h"

namespace varbex {
namespace {

constexpr std::int64_t kMicrosLimit = 1000000000000000;  // 1e9 in millionths

}  // namespace

// p = a x 1e6 rounded, e its exact error (a fused multiply-add gives it): the exact product is
// p + e. Below 2e9, p < 2^51, so an ulp of p is at most 1/4 and |e| at most 1/8; frac = p - floor(p)
// is exact and so is frac - 0.5 once frac >= 1/4 (below that the sum cannot reach a half).
// Comparing frac - 0.5 with -e therefore decides the rounding of the exact value, ties to even.
// Results of 1e9 and more are refused even below 2e9, so that a value rounding up to 1e9 never
// gets a numeric key while 1e9 itself, with the same text, gets a text key.
std::optional<Micros> roundedMicros(double x) {
  if (!(std::fabs(x) < 2e9)) return std::nullopt;
  const double a = std::fabs(x);
  const double p = a * 1e6;
  const double e = std::fma(a, 1e6, -p);
  const double whole = std::floor(p);
  const double frac = p - whole;
  auto count = static_cast<std::int64_t>(whole);
  if (frac >= 0.25) {
    const double aboveHalf = frac - 0.5;
    if (aboveHalf > -e || (aboveHalf == -e && (count & 1) != 0)) ++count;
  }
  if (count >= kMicrosLimit) return std::nullopt;
  return Micros{std::signbit(x), count};
}

std::size_t ShapeKeyHash::operator()(const ShapeKey& key) const {
  return foldWords(key.words.data(), key.words.size());
}

std::optional<ShapeKey> shapeKeyOf(const Item& item, const Box& box) {
  const double values[6] = {item.width(), item.length(), item.depth(),
                            box.width(),  box.length(),  box.depth()};
  ShapeKey key;
  std::int64_t signs = 0;
  for (int i = 0; i < 6; ++i) {
    const std::optional<Micros> micros = roundedMicros(values[i]);
    if (!micros) return std::nullopt;
    key.words[static_cast<std::size_t>(i)] = micros->count;
    if (micros->negative) signs |= std::int64_t{1} << i;
  }
  key.words[6] = static_cast<std::int64_t>(item.rotationPolicy());
  key.words[7] = signs;
  return key;
}

std::string shapeKeyText(const Item& item, const Box& box) {
  return fixedSix(item.width()) + "|" + fixedSix(item.length()) + "|" + fixedSix(item.depth()) +
         "|" + std::to_string(static_cast<int>(item.rotationPolicy())) + "|" +
         fixedSix(box.width()) + "|" + fixedSix(box.length()) + "|" + fixedSix(box.depth());
}

}  // namespace varbex
