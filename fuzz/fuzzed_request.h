#pragma once

// The fuzzers' bytes steer the making of a valid request, so that the packing engine itself is
// explored rather than the parser: 1 to 40 items, 1 to 6 box types, every rotation policy, item
// weights and weight limits (a negative limit means none), empty box weights, box groups, limited
// supplies, inactive types, and zero, tiny, fractional and huge extents.
#include <cfloat>
#include <string>
#include <utility>

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

namespace varbex_fuzz {

using nlohmann::json;

inline double extent(FuzzedDataProvider& in, bool forBox) {
  switch (in.ConsumeIntegralInRange<int>(0, 11)) {
    case 0:
      return 0;
    case 1:  // tiny
      return in.ConsumeIntegralInRange<int>(1, 1000) * 1e-9;
    case 2:  // fractions that add up exactly
      return in.ConsumeIntegralInRange<int>(1, 800) / 8.0;
    case 3:  // decimals that do not
      return in.ConsumeIntegralInRange<int>(1, 1000) * 0.1;
    case 4: {  // huge: volumes and sums overflow to infinity
      static const double kHuge[] = {1e12, 1e15, 1e100, 1e200, 1e308, DBL_MAX};
      return kHuge[in.ConsumeIntegralInRange<int>(0, 5)];
    }
    case 5:
      return in.ConsumeFloatingPointInRange<double>(0, forBox ? 1000 : 200);
    default:
      return in.ConsumeIntegralInRange<int>(1, forBox ? 120 : 40);
  }
}

inline double itemWeight(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      return 0;
    case 1:
      return in.ConsumeIntegralInRange<int>(1, 1000) * 0.1;
    case 2:
      return in.ConsumeFloatingPointInRange<double>(0, 1e6);
    case 3:
      return 1e300;
    default:
      return in.ConsumeIntegralInRange<int>(1, 50);
  }
}

inline double maxWeight(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      return -1;  // no maximum
    case 1:
      return -in.ConsumeFloatingPointInRange<double>(0, 1e9);
    case 2:
      return 0;
    case 3:
      return in.ConsumeIntegralInRange<int>(1, 1000) * 0.1;
    default:
      return in.ConsumeIntegralInRange<int>(1, 500);
  }
}

inline json maximumBoxes(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return in.ConsumeIntegralInRange<int>(-2, 0);
    case 1:
      return 2147483647;
    case 2:
      return 1e10;  // a real beyond 32 bits
    case 3:
      return in.ConsumeIntegralInRange<int>(1, 3) + 0.5;
    case 4:
      return true;
    default:
      return in.ConsumeIntegralInRange<int>(1, 6);
  }
}

// A copy of a shape turned, with another policy, or with one side negated.
inline void reshape(FuzzedDataProvider& in, json& item, const char* const (&policies)[6]) {
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      std::swap(item["Width"], item["Length"]);
      break;
    case 1:
      std::swap(item["Length"], item["Depth"]);
      break;
    case 2:
      item["AllowedRotation"] = policies[in.ConsumeIntegralInRange<int>(0, 5)];
      break;
    case 3: {
      static const char* const kSides[] = {"Width", "Length", "Depth"};
      json& side = item[kSides[in.ConsumeIntegralInRange<int>(0, 2)]];
      side = -side.get<double>();
      break;
    }
    default:
      break;
  }
}

// With `oddShapes`, extents may also be negative, and copies of one shape may have other
// rotation policies or their sides in another order: requests no packing check can judge, made
// for comparing two ways of solving them.
inline json makeRequest(FuzzedDataProvider& in, bool oddShapes = false) {
  static const char* const kPolicies[] = {"BestFit", "KeepFlat", "Never", "keep_flat", "NEVER",
                                          "whatever"};
  json boxes = json::array();
  const int boxCount = in.ConsumeIntegralInRange<int>(1, 6);
  for (int k = 0; k < boxCount; ++k) {
    json box;
    box["Reference"] = "B" + std::to_string(k);
    box["Width"] = extent(in, true);
    box["Length"] = extent(in, true);
    box["Depth"] = extent(in, true);
    box["MaxWeight"] = maxWeight(in);
    if (in.ConsumeBool()) {
      box["BoxWeight"] = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 20)
                                          : in.ConsumeFloatingPointInRange<double>(0, 1000);
    }
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) box["Active"] = false;
    if (in.ConsumeIntegralInRange<int>(0, 2) == 0) box["MaximumBoxes"] = maximumBoxes(in);
    boxes.push_back(std::move(box));
  }
  json items = json::array();
  const int itemCount = in.ConsumeIntegralInRange<int>(1, 40);
  const int groupCount = in.ConsumeIntegralInRange<int>(0, 3);
  // Runs of identical items are common in real orders and drive other paths (grid counts,
  // skipping copies that did not fit); a fresh shape is drawn only now and then.
  json shape;
  for (int k = 0; k < itemCount; ++k) {
    if (k == 0 || in.ConsumeIntegralInRange<int>(0, 2) == 0) {
      shape = json::object();
      shape["Width"] = extent(in, false);
      shape["Length"] = extent(in, false);
      shape["Depth"] = extent(in, false);
      shape["Weight"] = itemWeight(in);
      shape["AllowedRotation"] = kPolicies[in.ConsumeIntegralInRange<int>(0, 5)];
    }
    json item = shape;
    if (oddShapes) reshape(in, item, kPolicies);
    item["ItemCode"] = "I" + std::to_string(k);
    if (groupCount > 0 && in.ConsumeBool()) {
      item["BoxGroup"] = "G" + std::to_string(in.ConsumeIntegralInRange<int>(1, groupCount));
    }
    items.push_back(std::move(item));
  }
  return json{{"boxes", std::move(boxes)}, {"items", std::move(items)}};
}

}  // namespace varbex_fuzz
