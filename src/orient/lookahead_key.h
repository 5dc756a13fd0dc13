#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "model/item.h"
#include "model/oriented_item.h"
#include "orient/lookahead_cache.h"
#include "orient/orientation_chooser.h"

namespace varbex {

// What the ranking knows at the position where a candidate would be placed.
struct LookaheadQuestion {
  double freeWidth;
  double freeLength;
  double freeDepth;
  double rowLength;
  ItemStackView nextItems;  // the last element is the next item
};

// v x 1e6 rounded half away from zero, as the lookahead's keys hold their values.
std::int64_t lookaheadMicros(double value);

// The key builder takes its rounding as a value, so that a faster rounding of the same numbers
// can be compiled into the loop over the words instead of being tested for at each word.
struct MicrosByLlround {
  std::int64_t operator()(double value) const { return lookaheadMicros(value); }
};

constexpr std::size_t kMaxLookaheadItems = 7;

inline std::size_t lookaheadItemsLookedAt(const LookaheadQuestion& question) {
  return std::min(kMaxLookaheadItems, question.nextItems.size());
}

// The length of the row once the candidate stands in it.
inline double rowSpanWith(const LookaheadQuestion& question, const OrientedItem& candidate) {
  return std::max(question.rowLength, candidate.length);
}

// The words of the key that are the candidate's own (with the free space's), 0 to 5.
template <typename Micros>
void writeCandidateWords(LookaheadKey& key, const LookaheadQuestion& question,
                         const OrientedItem& candidate, Micros micros) {
  auto& w = key.words;
  w[0] = micros(question.freeWidth);
  w[1] = micros(question.freeLength);
  w[2] = micros(candidate.width);
  w[3] = micros(candidate.length);
  w[4] = micros(rowSpanWith(question, candidate));
  w[5] = micros(question.freeDepth);
}

// The key of a question about one candidate: extents and next items rounded to 1e-6. The part
// that depends on the next items alone (words 6 on) is the same for every candidate of one
// question; `nextItemsPart`, when given, is a key of the same question to take it from.
template <typename Micros = MicrosByLlround>
LookaheadKey makeLookaheadKey(const LookaheadQuestion& question, const OrientedItem& candidate,
                              const LookaheadKey* nextItemsPart = nullptr, Micros micros = {}) {
  // Copied whole from the shared part, or built from zero: words past the n-th item stay 0.
  LookaheadKey key = nextItemsPart ? *nextItemsPart : LookaheadKey{};
  auto& w = key.words;
  if (!nextItemsPart) {
    const std::size_t n = lookaheadItemsLookedAt(question);
    w[6] = static_cast<std::int64_t>(n);
    const ItemStackView next = question.nextItems;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = 7 + 5 * i;
      withItemData(*next[next.size() - 1 - i], [&w, at, micros](const auto& item) {
        w[at] = micros(item.width());
        w[at + 1] = micros(item.length());
        w[at + 2] = micros(item.depth());
        w[at + 3] = micros(item.weight());
        w[at + 4] = static_cast<std::int64_t>(static_cast<std::int32_t>(item.rotationPolicy()));
      });
    }
  }
  writeCandidateWords(key, question, candidate, micros);
  return key;
}

}  // namespace varbex
