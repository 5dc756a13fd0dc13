// What every answer of varbex_solve must satisfy, whatever the input: it is one of the two
// documented shapes, and a packing document is sound (every item once, items inside their boxes
// and apart from each other, weight and supply limits kept, box groups apart, a summary that adds
// up). Shared by the reliability tests and the fuzz targets; each check returns the problems it
// found as text, so a failure says what went wrong.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace varbex_checks {

using nlohmann::json;

// A request item or box type as the library reads it, for the checks that need the request.
struct RequestItem {
  std::string code;
  double width = 0, length = 0, depth = 0, weight = 0;
  std::string policy = "BestFit";  // "BestFit", "KeepFlat" or "Never"
  std::string group;               // empty: none
};

struct RequestBox {
  std::string reference;
  double width = 0, length = 0, depth = 0, maxWeight = -1, boxWeight = 0;
  bool active = true;
  std::optional<std::int64_t> maximumBoxes;  // only when given as an integer in 32-bit range
};

struct Request {
  std::vector<RequestItem> items;
  std::vector<RequestBox> boxes;
};

namespace detail {

inline bool hasExactly(const json& object, std::set<std::string> keys) {
  if (!object.is_object() || object.size() != keys.size()) return false;
  for (const auto& [key, value] : object.items()) {
    if (keys.erase(key) != 1) return false;
  }
  return true;
}

inline bool isCount(const json& value) {
  return value.is_number_integer() && value.get<std::int64_t>() >= 0;
}

// A non-finite double is written as null, so a number that is missing here was not finite.
inline std::optional<double> finite(const json& value) {
  if (!value.is_number()) return std::nullopt;
  const double d = value.get<double>();
  if (!std::isfinite(d)) return std::nullopt;
  return d;
}

// 1e-9, widened by a few units in the last place of the magnitudes involved: positions are sums
// of extents, and at 1e15 one rounding step alone is worth more than 1e-9.
inline double tolerance(double magnitude) { return 1e-9 + 8 * DBL_EPSILON * std::fabs(magnitude); }

inline std::string policyText(const json& value) {
  if (!value.is_string()) return "BestFit";
  std::string lower = value.get<std::string>();
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "never") return "Never";
  if (lower == "keepflat" || lower == "keep_flat") return "KeepFlat";
  return "BestFit";
}

inline double numberOr(const json& object, const char* key, double fallback) {
  return object.contains(key) && object.at(key).is_number() ? object.at(key).get<double>()
                                                             : fallback;
}

struct Extents {
  double x, y, z, width, length, depth;
};

inline std::optional<Extents> extentsOf(const json& p) {
  Extents e{};
  double* fields[] = {&e.x, &e.y, &e.z, &e.width, &e.length, &e.depth};
  const char* keys[] = {"x", "y", "z", "width", "length", "depth"};
  for (int k = 0; k < 6; ++k) {
    const std::optional<double> v = finite(p.value(keys[k], json()));
    if (!v) return std::nullopt;
    *fields[k] = *v;
  }
  // Negative extents have no meaningful interval; such requests are only checked for shape.
  if (e.width < 0 || e.length < 0 || e.depth < 0) return std::nullopt;
  return e;
}

// Overlap of [a, a + da) and [b, b + db) beyond the tolerance.
// Overlap of [a, a + da) and [b, b + db) beyond the tolerance; `floor` is a magnitude at which
// the positions along this axis may have been worked out (see axisFloor).
inline bool intervalsOverlap(double a, double da, double b, double db, double floor) {
  const double overlap = std::min(a + da, b + db) - std::max(a, b);
  const double magnitude =
      std::max({std::fabs(a), std::fabs(b), std::fabs(a + da), std::fabs(b + db), floor});
  return overlap > tolerance(magnitude);
}

// The largest magnitude at which positions along one axis of a box may have been worked out: the
// sum of the items' extents along it (layers are built one on another from the floor before they
// are restacked, rows advance item by item). An item of 26.66 stacked on 1e12-deep layers is
// placed at 1e12 + 26.66, rounded to 1.2e-4, before its layer moves down, so overlaps are judged
// at that scale; for everyday sizes (sums in the thousands) that adds less than 1e-11.
inline double axisFloor(const std::vector<std::optional<Extents>>& extents, double Extents::*extent) {
  double sum = 0;
  for (const std::optional<Extents>& e : extents) {
    if (e && (*e).*extent > 0) sum += (*e).*extent;
  }
  return sum;
}

inline std::string where(std::size_t box, std::size_t item) {
  return "box " + std::to_string(box) + " item " + std::to_string(item) + ": ";
}

}  // namespace detail

inline bool isErrorEnvelope(const json& answer) {
  return detail::hasExactly(answer, {"error", "success"}) && answer.at("error").is_string() &&
         answer.at("success") == false;
}

// Empty when `answer` is the error envelope or a response document with the documented members
// and member types; otherwise the first problem.
inline std::string shapeProblem(const json& answer) {
  if (!answer.is_object()) return "the answer is not a JSON object";
  if (answer.contains("error")) {
    return isErrorEnvelope(answer) ? "" : "malformed error envelope: " + answer.dump();
  }
  if (!detail::hasExactly(answer, {"boxes", "placements", "success", "summary",
                                   "unplaced_item_codes", "unplaced_items"})) {
    return "the answer has neither the envelope's nor the response's members";
  }
  if (!answer.at("boxes").is_array()) return "\"boxes\" is not an array";
  if (!answer.at("placements").is_array()) return "\"placements\" is not an array";
  if (!answer.at("success").is_boolean()) return "\"success\" is not a boolean";
  if (!answer.at("unplaced_item_codes").is_array()) return "\"unplaced_item_codes\" is not an array";
  if (!answer.at("unplaced_items").is_array()) return "\"unplaced_items\" is not an array";
  const json& summary = answer.at("summary");
  if (!detail::hasExactly(summary, {"box_count", "overall_volume_utilisation", "total_placed",
                                    "total_unplaced"})) {
    return "\"summary\" does not have its four members";
  }
  for (const char* key : {"box_count", "total_placed", "total_unplaced"}) {
    if (!summary.at(key).is_number_integer()) return std::string("summary ") + key + " is not an integer";
  }
  for (const json& code : answer.at("unplaced_item_codes")) {
    if (!code.is_string()) return "an unplaced item code is not a string";
  }
  for (const json& item : answer.at("unplaced_items")) {
    if (!item.is_object() || !item.contains("ItemCode") || !item.at("ItemCode").is_string()) {
      return "an unplaced item has no string ItemCode";
    }
  }
  static const std::set<std::string> kBoxKeys = {
      "box_index", "box_reference", "depth", "empty_weight", "inner_volume", "item_count",
      "item_weight", "items", "length", "max_weight", "remaining_depth", "remaining_length",
      "remaining_weight", "remaining_width", "unused_volume", "used_depth", "used_length",
      "used_volume", "used_width", "volume_utilisation", "weight", "width"};
  static const std::set<std::string> kPlacementKeys = {
      "ItemCode", "ItemReference", "box_group", "depth", "length", "orientation",
      "original_depth", "original_length", "original_width", "rotated", "weight", "width",
      "x", "y", "z"};
  for (const json& box : answer.at("boxes")) {
    if (!detail::hasExactly(box, kBoxKeys)) return "a box result has other members than documented";
    if (!detail::isCount(box.at("box_index")) || !detail::isCount(box.at("item_count"))) {
      return "a box index or item count is not a count";
    }
    if (!box.at("box_reference").is_string() || !box.at("items").is_array()) {
      return "a box result has a bad reference or item list";
    }
    for (const json& p : box.at("items")) {
      if (!detail::hasExactly(p, kPlacementKeys)) return "a box's placement has other members than documented";
    }
  }
  std::set<std::string> flatKeys = kPlacementKeys;
  flatKeys.insert("box_index");
  flatKeys.insert("box_reference");
  for (const json& p : answer.at("placements")) {
    if (!detail::hasExactly(p, flatKeys)) return "a placement has other members than documented";
    if (!p.at("ItemCode").is_string() || !p.at("ItemReference").is_string() ||
        !p.at("orientation").is_string() || !p.at("rotated").is_boolean() ||
        !(p.at("box_group").is_null() || p.at("box_group").is_string())) {
      return "a placement has a member of the wrong type";
    }
  }
  return "";
}

// Problems of a response document that show without the request: the summary against the boxes,
// the flat placements against the boxes' items, orientation codes against extents, every item
// inside its box and apart from the others, the weight limit, one box group per box.
inline std::vector<std::string> responseProblems(const json& answer) {
  using namespace detail;
  std::vector<std::string> problems;
  const json& boxes = answer.at("boxes");
  const json& placements = answer.at("placements");
  const json& summary = answer.at("summary");
  const std::size_t unplaced = answer.at("unplaced_item_codes").size();

  if (answer.at("success").get<bool>() != (unplaced == 0)) {
    problems.push_back("success is not the same as 'no item unplaced'");
  }
  if (answer.at("unplaced_items").size() != unplaced) {
    problems.push_back("unplaced_items and unplaced_item_codes differ in length");
  } else {
    for (std::size_t k = 0; k < unplaced; ++k) {
      if (answer.at("unplaced_items")[k].at("ItemCode") != answer.at("unplaced_item_codes")[k]) {
        problems.push_back("unplaced item " + std::to_string(k) + " has another code than listed");
      }
    }
  }
  if (summary.at("box_count").get<std::int64_t>() != static_cast<std::int64_t>(boxes.size())) {
    problems.push_back("summary box_count differs from the number of boxes");
  }
  if (summary.at("total_unplaced").get<std::int64_t>() != static_cast<std::int64_t>(unplaced)) {
    problems.push_back("summary total_unplaced differs from the unplaced items");
  }

  std::int64_t placedCount = 0;
  std::size_t flat = 0;
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    const json& box = boxes[b];
    const json& items = box.at("items");
    placedCount += static_cast<std::int64_t>(items.size());
    if (box.at("box_index").get<std::size_t>() != b) {
      problems.push_back("box " + std::to_string(b) + " has box_index " + box.at("box_index").dump());
    }
    if (box.at("item_count").get<std::size_t>() != items.size()) {
      problems.push_back("box " + std::to_string(b) + ": item_count differs from its items");
    }
    if (items.empty()) problems.push_back("box " + std::to_string(b) + " is empty");

    // The same placements again in "placements", with the box's index and reference.
    for (std::size_t k = 0; k < items.size(); ++k, ++flat) {
      if (flat >= placements.size()) break;
      json copy = placements[flat];
      const bool sameBox = copy.at("box_index") == b && copy.at("box_reference") == box.at("box_reference");
      copy.erase("box_index");
      copy.erase("box_reference");
      if (!sameBox || copy != items[k]) {
        problems.push_back("placement " + std::to_string(flat) + " differs from " + where(b, k));
      }
    }

    // The code is a known one, "rotated" is "not WLD", and the code names which original
    // dimension lies along each axis.
    for (std::size_t k = 0; k < items.size(); ++k) {
      const json& p = items[k];
      const std::string code = p.at("orientation").get<std::string>();
      if (p.at("rotated").get<bool>() != (code != "WLD")) {
        problems.push_back(where(b, k) + "'rotated' disagrees with orientation " + code);
      }
      std::string letters = code;
      std::sort(letters.begin(), letters.end());
      if (letters != "DLW") {
        problems.push_back(where(b, k) + "unknown orientation " + code);
        continue;
      }
      const json original[3] = {p.at("original_width"), p.at("original_length"), p.at("original_depth")};
      const char* const placedKeys[3] = {"width", "length", "depth"};
      for (std::size_t axis = 0; axis < 3; ++axis) {
        const std::size_t from = code[axis] == 'W' ? 0 : code[axis] == 'L' ? 1 : 2;
        if (p.at(placedKeys[axis]) != original[from]) {
          problems.push_back(where(b, k) + "extents do not match orientation " + code);
          break;
        }
      }
    }

    // One box group per box.
    std::set<std::string> groups;
    for (const json& p : items) {
      if (p.at("box_group").is_string()) groups.insert(p.at("box_group").get<std::string>());
    }
    if (groups.size() > 1) problems.push_back("box " + std::to_string(b) + " mixes box groups");

    // Weight: the contents stay within the payload, max(max weight - empty weight, 0).
    const std::optional<double> maxWeight = finite(box.at("max_weight"));
    const std::optional<double> emptyWeight = finite(box.at("empty_weight"));
    const std::optional<double> itemWeight = finite(box.at("item_weight"));
    if (maxWeight && emptyWeight && itemWeight) {
      const double payload = std::max(*maxWeight - *emptyWeight, 0.0);
      if (*itemWeight > payload + tolerance(std::max(*maxWeight, std::fabs(*emptyWeight)))) {
        problems.push_back("box " + std::to_string(b) + " carries " + std::to_string(*itemWeight) +
                           " over its payload " + std::to_string(payload));
      }
    }

    // Geometry, wherever every number involved is finite.
    const std::optional<double> bw = finite(box.at("width"));
    const std::optional<double> bl = finite(box.at("length"));
    const std::optional<double> bd = finite(box.at("depth"));
    std::vector<std::optional<Extents>> extents;
    for (const json& p : items) extents.push_back(extentsOf(p));
    // An item of negative extent moves every later position in its row backwards: such a box is
    // checked for bookkeeping only.
    const bool negative = std::any_of(items.begin(), items.end(), [](const json& p) {
      return p.at("width") < 0 || p.at("length") < 0 || p.at("depth") < 0;
    });
    if (negative) extents.assign(items.size(), std::nullopt);
    const double floorX = axisFloor(extents, &Extents::width);
    const double floorY = axisFloor(extents, &Extents::length);
    const double floorZ = axisFloor(extents, &Extents::depth);
    if (bw && bl && bd && *bw >= 0 && *bl >= 0 && *bd >= 0) {
      for (std::size_t k = 0; k < items.size(); ++k) {
        if (!extents[k]) continue;
        const Extents& e = *extents[k];
        const bool inside =
            e.x >= -tolerance(floorX) && e.y >= -tolerance(floorY) && e.z >= -tolerance(floorZ) &&
            e.x + e.width <= *bw + tolerance(std::max({*bw, e.x + e.width, floorX})) &&
            e.y + e.length <= *bl + tolerance(std::max({*bl, e.y + e.length, floorY})) &&
            e.z + e.depth <= *bd + tolerance(std::max({*bd, e.z + e.depth, floorZ}));
        if (!inside) problems.push_back(where(b, k) + "lies outside its box: " + items[k].dump());
      }
    }
    for (std::size_t k = 0; k < items.size(); ++k) {
      for (std::size_t m = k + 1; m < items.size(); ++m) {
        if (!extents[k] || !extents[m]) continue;
        const Extents& p = *extents[k];
        const Extents& q = *extents[m];
        if (intervalsOverlap(p.x, p.width, q.x, q.width, floorX) &&
            intervalsOverlap(p.y, p.length, q.y, q.length, floorY) &&
            intervalsOverlap(p.z, p.depth, q.z, q.depth, floorZ)) {
          problems.push_back(where(b, k) + "overlaps item " + std::to_string(m) + ": " +
                             items[k].dump() + " and " + items[m].dump());
        }
      }
    }
  }
  if (placements.size() != flat) problems.push_back("placements has more entries than the boxes' items");
  if (summary.at("total_placed").get<std::int64_t>() != placedCount) {
    problems.push_back("summary total_placed differs from the boxes' items");
  }
  return problems;
}

// The request as the library reads it, for requests whose "items" and "boxes" are arrays of
// well-formed objects (what the tests and the structure-aware fuzzer send).
inline Request requestOf(const json& document) {
  using detail::numberOr;
  Request request;
  if (!document.is_object()) return request;
  for (const json& i : document.value("items", json::array())) {
    RequestItem item;
    item.code = i.at("ItemCode").get<std::string>();
    item.width = numberOr(i, "Width", 0);
    item.length = numberOr(i, "Length", 0);
    item.depth = numberOr(i, "Depth", 0);
    item.weight = numberOr(i, "Weight", 0);
    item.policy = detail::policyText(i.value("AllowedRotation", json()));
    if (i.contains("BoxGroup") && i.at("BoxGroup").is_string()) item.group = i.at("BoxGroup");
    request.items.push_back(item);
  }
  for (const json& b : document.value("boxes", json::array())) {
    RequestBox box;
    box.reference = b.at("Reference").get<std::string>();
    box.width = numberOr(b, "Width", 0);
    box.length = numberOr(b, "Length", 0);
    box.depth = numberOr(b, "Depth", 0);
    box.maxWeight = numberOr(b, "MaxWeight", -1);
    box.boxWeight = numberOr(b, "BoxWeight", 0);
    box.active = b.value("Active", json(true)).is_boolean() ? b.value("Active", true) : true;
    if (b.contains("MaximumBoxes") && b.at("MaximumBoxes").is_number_integer()) {
      const std::int64_t count = b.at("MaximumBoxes").get<std::int64_t>();
      if (count >= INT32_MIN && count <= INT32_MAX) box.maximumBoxes = count;
    }
    request.boxes.push_back(box);
  }
  return request;
}

// Problems of a response document against its request: every request item exactly once, placed
// or unplaced, with its own data; only active box types, each within its supply; turns only as
// the item's policy allows; a grouped item only with its own group.
inline std::vector<std::string> packingProblems(const Request& request, const json& answer) {
  std::vector<std::string> problems = responseProblems(answer);

  std::multiset<std::string> expected;
  std::map<std::string, const RequestItem*> byCode;
  for (const RequestItem& item : request.items) {
    expected.insert(item.code);
    byCode[item.code] = &item;
  }
  const bool uniqueCodes = byCode.size() == request.items.size();
  std::multiset<std::string> seen;
  for (const json& code : answer.at("unplaced_item_codes")) seen.insert(code.get<std::string>());

  std::map<std::string, std::int64_t> boxesOfType;
  const json& boxes = answer.at("boxes");
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    const json& box = boxes[b];
    const std::string reference = box.at("box_reference").get<std::string>();
    boxesOfType[reference] += 1;
    const bool known = std::any_of(request.boxes.begin(), request.boxes.end(), [&](const RequestBox& t) {
      return t.reference == reference && t.active && json(t.width) == box.at("width") &&
             json(t.length) == box.at("length") && json(t.depth) == box.at("depth");
    });
    if (!known) problems.push_back("box " + std::to_string(b) + " is no active box type of the request");

    for (std::size_t k = 0; k < box.at("items").size(); ++k) {
      const json& p = box.at("items")[k];
      const std::string code = p.at("ItemCode").get<std::string>();
      seen.insert(code);
      if (!uniqueCodes || !byCode.count(code)) continue;
      const RequestItem& item = *byCode.at(code);
      const std::string orientation = p.at("orientation").get<std::string>();
      if (p.at("original_width") != json(item.width) || p.at("original_length") != json(item.length) ||
          p.at("original_depth") != json(item.depth) || p.at("weight") != json(item.weight)) {
        problems.push_back(detail::where(b, k) + "carries other data than item " + code);
      }
      // Neither policy lets the depth leave the vertical. A "Never" item may still come back as
      // "LWD": when a box is packed turned about the vertical axis, its items turn with it.
      if (item.policy != "BestFit" && orientation != "WLD" && orientation != "LWD") {
        problems.push_back(detail::where(b, k) + "turned to " + orientation + " against policy " + item.policy);
      }
      const json group = item.group.empty() ? json(nullptr) : json(item.group);
      if (p.at("box_group") != group) problems.push_back(detail::where(b, k) + "has another box group");
    }
  }
  if (seen != expected) problems.push_back("the placed and unplaced codes are not the request's items, each once");

  std::map<std::string, int> typesNamed;
  for (const RequestBox& t : request.boxes) typesNamed[t.reference] += 1;
  for (const RequestBox& t : request.boxes) {
    if (!t.maximumBoxes || typesNamed[t.reference] != 1) continue;
    const std::int64_t used = boxesOfType.count(t.reference) ? boxesOfType[t.reference] : 0;
    if (used > std::max<std::int64_t>(*t.maximumBoxes, 0)) {
      problems.push_back("box type " + t.reference + " used " + std::to_string(used) +
                         " times, more than its supply of " + std::to_string(*t.maximumBoxes));
    }
  }
  return problems;
}

}  // namespace varbex_checks
