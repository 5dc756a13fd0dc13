// Random small requests through varbex_solve, each answer checked against what must hold for any
// packing: every item once, inside its box, overlapping nothing, within weight and supply limits,
// turned only as its policy allows, box groups kept apart, and a summary that adds up.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "varbex.h"

namespace {

using nlohmann::json;

constexpr double kTolerance = 1e-9;

struct BoxType {
  std::string reference;
  double width, length, depth;
  double maxWeight;  // negative: none
  double emptyWeight;
  bool active;
  std::optional<int> maximumBoxes;
};

struct RequestItem {
  std::string code;
  double width, length, depth, weight;
  std::string policyText;
  std::string allowed;  // "Never", "KeepFlat" or "BestFit"
  std::string group;    // empty: none
};

struct Request {
  std::vector<BoxType> boxes;
  std::vector<RequestItem> items;
};

class RequestMaker {
 public:
  explicit RequestMaker(std::uint32_t seed) : random_(seed) {}

  Request make() {
    Request request;
    const int boxCount = between(1, 4);
    for (int k = 0; k < boxCount; ++k) request.boxes.push_back(box(k));
    const int itemCount = between(1, 10);
    const bool grouped = chance(0.4);
    for (int k = 0; k < itemCount; ++k) request.items.push_back(item(k, grouped));
    return request;
  }

 private:
  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
  // Whole and half units, so that sums of weights are exact.
  double size(int low, int high) { return between(2 * low, 2 * high) / 2.0; }

  BoxType box(int k) {
    BoxType b;
    b.reference = "B" + std::to_string(k);
    b.width = size(2, 12);
    b.length = size(2, 12);
    b.depth = size(2, 12);
    b.emptyWeight = between(0, 3);
    b.maxWeight = chance(0.3) ? -1 : b.emptyWeight + size(0, 25);
    b.active = !chance(0.15);
    if (chance(0.3)) b.maximumBoxes = between(0, 3);
    return b;
  }

  RequestItem item(int k, bool grouped) {
    static const char* const kPolicies[][2] = {{"Never", "Never"},     {"never", "Never"},
                                              {"KeepFlat", "KeepFlat"}, {"KEEP_FLAT", "KeepFlat"},
                                              {"BestFit", "BestFit"},   {"rotate", "BestFit"}};
    static const char* const kGroups[] = {"a", "b", "c"};
    RequestItem i;
    i.code = "I" + std::to_string(k);
    i.width = size(1, 8);
    i.length = size(1, 8);
    i.depth = size(1, 8);
    i.weight = size(0, 8);
    const auto& policy = kPolicies[between(0, 5)];
    i.policyText = policy[0];
    i.allowed = policy[1];
    if (grouped && chance(0.6)) i.group = kGroups[between(0, 2)];
    return i;
  }

  std::mt19937 random_;
};

std::string textOf(const Request& request) {
  json boxes = json::array();
  for (const BoxType& b : request.boxes) {
    json box = {{"Reference", b.reference}, {"Width", b.width},        {"Length", b.length},
                {"Depth", b.depth},         {"MaxWeight", b.maxWeight}, {"BoxWeight", b.emptyWeight},
                {"Active", b.active}};
    if (b.maximumBoxes) box["MaximumBoxes"] = *b.maximumBoxes;
    boxes.push_back(box);
  }
  json items = json::array();
  for (const RequestItem& i : request.items) {
    json item = {{"ItemCode", i.code}, {"Width", i.width},   {"Length", i.length},
                 {"Depth", i.depth},   {"Weight", i.weight}, {"AllowedRotation", i.policyText}};
    if (!i.group.empty()) item["BoxGroup"] = i.group;
    items.push_back(item);
  }
  return json{{"boxes", boxes}, {"items", items}}.dump();
}

json solve(const std::string& request) {
  char* response = varbex_solve(request.c_str());
  const json parsed = json::parse(response);
  varbex_free(response);
  return parsed;
}

// The extents an orientation code puts along x, y and z.
std::vector<double> extentsOf(const RequestItem& item, const std::string& code) {
  std::vector<double> extents;
  for (const char letter : code) {
    extents.push_back(letter == 'W' ? item.width : letter == 'L' ? item.length : item.depth);
  }
  return extents;
}

// A box turned for packing turns its items back with it, so an item that may not turn at all can
// still come out as "LWD": turned about the vertical axis along with the box.
bool allowedCode(const RequestItem& item, const std::string& code) {
  static const std::set<std::string> kAll{"WLD", "LWD", "WDL", "LDW", "DWL", "DLW"};
  if (item.allowed == "BestFit") return kAll.count(code) > 0;
  return code == "WLD" || code == "LWD";
}

std::vector<double> sortedSides(double a, double b, double c) {
  std::vector<double> sides{a, b, c};
  std::sort(sides.begin(), sides.end());
  return sides;
}

bool overlap(const json& a, const json& b) {
  for (const char* const axis : {"x", "y", "z"}) {
    const char* extent = axis[0] == 'x' ? "width" : axis[0] == 'y' ? "length" : "depth";
    const double a0 = a[axis].get<double>(), a1 = a0 + a[extent].get<double>();
    const double b0 = b[axis].get<double>(), b1 = b0 + b[extent].get<double>();
    if (a1 <= b0 + kTolerance || b1 <= a0 + kTolerance) return false;
  }
  return true;
}

// An item that follows one of the same shape in a row takes over that item's orientation as it
// stands, code included, whatever its own policy. Policy and code are therefore checked only for
// items whose shape no other item of the request shares.
void checkBox(const json& box, const BoxType& type, const std::map<std::string, RequestItem>& items,
              const std::set<std::string>& shapeShared) {
  EXPECT_TRUE(type.active);
  EXPECT_EQ(box["width"].get<double>(), type.width);
  EXPECT_EQ(box["length"].get<double>(), type.length);
  EXPECT_EQ(box["depth"].get<double>(), type.depth);
  const json& placed = box["items"];
  ASSERT_GT(placed.size(), 0u) << "a filled box without items";
  EXPECT_EQ(box["item_count"].get<std::size_t>(), placed.size());
  double itemWeight = 0;
  std::set<std::string> groups;
  for (const json& p : placed) {
    const RequestItem& item = items.at(p["ItemCode"].get<std::string>());
    const std::string code = p["orientation"].get<std::string>();
    const std::vector<double> extents{p["width"].get<double>(), p["length"].get<double>(),
                                      p["depth"].get<double>()};
    EXPECT_EQ(sortedSides(extents[0], extents[1], extents[2]),
              sortedSides(item.width, item.length, item.depth))
        << item.code;
    if (shapeShared.count(item.code) == 0) {
      EXPECT_TRUE(allowedCode(item, code)) << item.code << " " << item.allowed << " as " << code;
      EXPECT_EQ(extents, extentsOf(item, code)) << item.code << " as " << code;
    }
    EXPECT_GE(p["x"].get<double>(), -kTolerance) << item.code;
    EXPECT_GE(p["y"].get<double>(), -kTolerance) << item.code;
    EXPECT_GE(p["z"].get<double>(), -kTolerance) << item.code;
    EXPECT_LE(p["x"].get<double>() + extents[0], type.width + kTolerance) << item.code;
    EXPECT_LE(p["y"].get<double>() + extents[1], type.length + kTolerance) << item.code;
    EXPECT_LE(p["z"].get<double>() + extents[2], type.depth + kTolerance) << item.code;
    EXPECT_EQ(p["box_group"].is_null(), item.group.empty()) << item.code;
    if (!item.group.empty()) groups.insert(item.group);
    itemWeight += item.weight;
  }
  EXPECT_LE(groups.size(), 1u) << "box groups share a box";
  for (std::size_t a = 0; a < placed.size(); ++a) {
    for (std::size_t b = a + 1; b < placed.size(); ++b) {
      EXPECT_FALSE(overlap(placed[a], placed[b]))
          << placed[a]["ItemCode"] << " overlaps " << placed[b]["ItemCode"];
    }
  }
  EXPECT_EQ(box["item_weight"].get<double>(), itemWeight);
  EXPECT_EQ(box["weight"].get<double>(), type.emptyWeight + itemWeight);
  if (type.maxWeight >= 0) {
    EXPECT_LE(type.emptyWeight + itemWeight, type.maxWeight);
    EXPECT_FALSE(box["remaining_weight"].is_null());
  } else {
    EXPECT_TRUE(box["max_weight"].is_null());
    EXPECT_TRUE(box["remaining_weight"].is_null());
  }
}

void checkResponse(const Request& request, const json& response) {
  ASSERT_FALSE(response.contains("error")) << response["error"];
  std::map<std::string, RequestItem> items;
  for (const RequestItem& i : request.items) items[i.code] = i;
  std::map<std::string, BoxType> types;
  for (const BoxType& b : request.boxes) types[b.reference] = b;
  std::set<std::string> shapeShared;
  for (const RequestItem& a : request.items) {
    for (const RequestItem& b : request.items) {
      if (&a != &b && sortedSides(a.width, a.length, a.depth) ==
                          sortedSides(b.width, b.length, b.depth)) {
        shapeShared.insert(a.code);
      }
    }
  }

  std::map<std::string, int> seen;
  std::map<std::string, int> boxesOfType;
  const json& boxes = response["boxes"];
  const json& placements = response["placements"];
  std::size_t placementAt = 0;
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    const json& box = boxes[k];
    SCOPED_TRACE("box " + std::to_string(k));
    EXPECT_EQ(box["box_index"].get<std::size_t>(), k);
    const std::string reference = box["box_reference"].get<std::string>();
    ASSERT_TRUE(types.count(reference)) << reference;
    ++boxesOfType[reference];
    checkBox(box, types.at(reference), items, shapeShared);
    for (const json& p : box["items"]) {
      ++seen[p["ItemCode"].get<std::string>()];
      // The flat list repeats the box's items in order, with the box named.
      ASSERT_LT(placementAt, placements.size());
      json flat = placements[placementAt++];
      EXPECT_EQ(flat["box_index"].get<std::size_t>(), k);
      EXPECT_EQ(flat["box_reference"].get<std::string>(), reference);
      flat.erase("box_index");
      flat.erase("box_reference");
      EXPECT_EQ(flat, p);
    }
  }
  EXPECT_EQ(placementAt, placements.size());
  for (const auto& [reference, count] : boxesOfType) {
    const BoxType& type = types.at(reference);
    if (type.maximumBoxes) {
      EXPECT_LE(count, *type.maximumBoxes) << reference;
    }
  }

  const json& codes = response["unplaced_item_codes"];
  const json& unplaced = response["unplaced_items"];
  ASSERT_EQ(codes.size(), unplaced.size());
  for (std::size_t k = 0; k < codes.size(); ++k) {
    ++seen[codes[k].get<std::string>()];
    EXPECT_EQ(unplaced[k]["ItemCode"], codes[k]);
  }
  for (const RequestItem& i : request.items) EXPECT_EQ(seen[i.code], 1) << i.code;
  EXPECT_EQ(seen.size(), request.items.size());

  const json& summary = response["summary"];
  EXPECT_EQ(summary["box_count"].get<std::size_t>(), boxes.size());
  EXPECT_EQ(summary["total_placed"].get<std::size_t>(), placements.size());
  EXPECT_EQ(summary["total_unplaced"].get<std::size_t>(), codes.size());
  EXPECT_EQ(response["success"].get<bool>(), codes.empty());
}

TEST(PropertyTest, RandomRequestsKeepEveryPackingRule) {
  // A few thousand in a plain build; sanitizers run the same code 5 to 20 times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr int kRequests = 1000;
#else
  constexpr int kRequests = 4000;
#endif
  RequestMaker maker(20261208);
  for (int n = 0; n < kRequests; ++n) {
    const Request request = maker.make();
    const std::string text = textOf(request);
    SCOPED_TRACE("request " + std::to_string(n) + ": " + text);
    checkResponse(request, solve(text));
    if (HasFailure()) break;  // one request in full is enough to go on
  }
}

}  // namespace
