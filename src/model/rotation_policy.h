#pragma once

#include <cstdint>
#include <string>

namespace varbex {

// How an item may be turned; the numeric values appear in lookahead keys and memo keys.
enum class RotationPolicy : std::int32_t {
  Never = 0,     // unturned only
  KeepFlat = 1,  // turned about the vertical axis only
  BestFit = 2,   // any of the six orientations
};

// Reads a policy name in any ASCII letter case; every unknown text means BestFit.
RotationPolicy parseRotationPolicy(const std::string& text);

// The name written in JSON forms: "Never", "KeepFlat" or "BestFit".
const char* rotationPolicyName(RotationPolicy policy);

}  // namespace varbex
