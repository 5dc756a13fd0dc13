#include "model/rotation_policy.h"

namespace varbex {

RotationPolicy parseRotationPolicy(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "never") return RotationPolicy::Never;
  if (lower == "keepflat" || lower == "keep_flat") return RotationPolicy::KeepFlat;
  return RotationPolicy::BestFit;
}

const char* rotationPolicyName(RotationPolicy policy) {
  switch (policy) {
    case RotationPolicy::Never:
      return "Never";
    case RotationPolicy::KeepFlat:
      return "KeepFlat";
    case RotationPolicy::BestFit:
      break;
  }
  return "BestFit";
}

}  // namespace varbex
