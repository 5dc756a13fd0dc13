#pragma once

#include <cstdint>

#include "base/engine_options.h"
#include "base/int64_range.h"
#include "orient/lookahead.h"

namespace varbex {

// lookaheadMicros, rounded inline rather than by the library's llround: this runs for every word
// of every key, and the call showed. The same integer for every value llround defines; a value
// beyond the 64-bit range (or a NaN), where llround's result is unspecified, is pinned to the
// lowest integer, as the x86 instruction does.
struct MicrosRoundedInline {
  std::int64_t operator()(double value) const {
    const double scaled = value * 1000000;
    if (!withinInt64(scaled)) return INT64_MIN;
    const auto truncated = static_cast<std::int64_t>(scaled);
    // Exact: below 2^52 the fraction is representable, above it scaled is a whole number.
    const double fraction = scaled - static_cast<double>(truncated);
    if (fraction >= 0.5) return truncated + 1;
    if (fraction <= -0.5) return truncated - 1;
    return truncated;
  }
};

// answerLookahead, its key rounded inline when lookaheadKeysRoundedInline is on (no
// precondition: the rounding gives llround's numbers for every value).
std::int32_t answerLookaheadWithShortcuts(const LookaheadQuestion& question,
                                          const OrientedItem& candidate, const TrialPacker& packer,
                                          LookaheadShared* shared, const Shortcuts& shortcuts);

}  // namespace varbex
