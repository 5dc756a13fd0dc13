// Properties of the insights over the differential generator's requests, each solved by the
// library: standing measures in range and conserved, and every verdict of too_large and no_room
// checked again against the request's box types with loops of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>
#include <string>

#include <nlohmann/json.hpp>

#include "../diff/request_generator.h"
#include "api/request_reader.h"
#include "insights/box_stability.h"
#include "insights/insights_document.h"
#include "model/box.h"
#include "varbex.h"

namespace varbex::insights {
namespace {

using nlohmann::json;

std::string solved(const std::string& request) {
  char* block = varbex_solve(request.c_str());
  std::string text(block);
  varbex_free(block);
  return text;
}

bool hasExtent(const PlacedExtent& p) {
  for (const double v : {p.x, p.y, p.z, p.width, p.length, p.depth}) {
    if (!std::isfinite(v)) return false;
  }
  return p.width > 0 && p.length > 0 && p.depth > 0;
}

// The support of item k by testing it against every other item, in index order.
double supportByEveryPair(const std::vector<PlacedExtent>& items, std::size_t k) {
  const PlacedExtent& p = items[k];
  if (std::fabs(p.z) <= 1e-9) return 1;
  const auto side = [](double a, double sa, double b, double sb) {
    return std::max(0.0, std::min(a + sa, b + sb) - std::max(a, b));
  };
  double touching = 0;
  for (std::size_t j = 0; j < items.size(); ++j) {
    const PlacedExtent& q = items[j];
    if (j == k || !hasExtent(q) || !(q.z < p.z)) continue;
    if (std::fabs(q.z + q.depth - p.z) > 1e-9 * std::max(1.0, std::fabs(p.z))) continue;
    touching += side(p.x, p.width, q.x, q.width) * side(p.y, p.length, q.y, q.length);
  }
  return touching / (p.width * p.length);
}

void checkBox(const PackedBox& box, const BoxStanding& s, const std::string& where) {
  // Every item's weight ends on the floor or on an item that rests on nothing (off the floor with
  // no support), which keeps it with its load.
  double weightWithExtent = 0, stranded = 0, scale = 1;
  bool positive = !box.items.empty();
  std::array<double, 3> low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (std::size_t k = 0; k < box.items.size(); ++k) {
    const PlacedExtent& p = box.items[k];
    const ItemStanding& item = s.items[k];
    ASSERT_EQ(item.support.has_value(), hasExtent(p)) << where;
    if (item.support) {
      EXPECT_TRUE(*item.support >= 0 && *item.support <= 1) << where << " item " << k;
      if (std::fabs(p.z) <= 1e-9) {
        EXPECT_EQ(*item.support, 1.0) << where << " item " << k;
      }
      EXPECT_EQ(item.overhang, *item.support < 1);
      EXPECT_NEAR(*item.support, std::min(1.0, supportByEveryPair(box.items, k)), 1e-9)
          << where << " item " << k;
    }
    if (item.support) weightWithExtent += p.weight;
    if (item.support == 0.0 && std::fabs(p.z) > 1e-9) stranded += p.weight + *item.loadOnTop;
    scale += std::fabs(p.weight);
    positive = positive && p.weight > 0;
    const std::array<double, 6> e{p.x, p.x + p.width, p.y, p.y + p.length, p.z, p.z + p.depth};
    for (int a = 0; a < 3; ++a) {
      low[a] = std::min({low[a], e[2 * a], e[2 * a + 1]});
      high[a] = std::max({high[a], e[2 * a], e[2 * a + 1]});
    }
  }
  EXPECT_LE(std::fabs(s.floorLoad + stranded - weightWithExtent), 1e-9 * scale) << where;
  if (!positive) return;
  ASSERT_TRUE(s.centreOfGravity.has_value()) << where;
  const std::array<double, 3> c{s.centreOfGravity->x, s.centreOfGravity->y, s.centreOfGravity->z};
  const std::array<double, 3> size{box.width, box.length, box.depth};
  for (int a = 0; a < 3; ++a) {
    if (!std::isfinite(low[a]) || !std::isfinite(high[a])) continue;
    const double slack = 1e-9 * std::max({1.0, std::fabs(low[a]), std::fabs(high[a])});
    EXPECT_TRUE(c[a] >= low[a] - slack && c[a] <= high[a] + slack) << where << " axis " << a;
    // Items inside the box put the centre inside it.
    if (low[a] >= 0 && high[a] <= size[a]) {
      EXPECT_TRUE(c[a] >= -slack && c[a] <= size[a] + slack) << where << " axis " << a;
    }
  }
}

// All six turns, kept as the policy allows, compared with the inner size.
bool fitsSomeTurn(const json& item, const Box& box) {
  const double w = item["Width"], l = item["Length"], d = item["Depth"];
  const std::string policy = item["AllowedRotation"];
  const double turns[6][3] = {{w, l, d}, {l, w, d}, {w, d, l}, {l, d, w}, {d, w, l}, {d, l, w}};
  const int allowed = policy == "Never" ? 1 : policy == "KeepFlat" ? 2 : 6;
  for (int t = 0; t < allowed; ++t) {
    if (turns[t][0] <= box.width() && turns[t][1] <= box.length() && turns[t][2] <= box.depth()) {
      return true;
    }
  }
  return false;
}

void checkVerdicts(const json& insights, const PackingRequest& request, const json& response,
                   std::map<std::string, int>& seen, const std::string& where) {
  std::map<std::string, long> used;
  for (const json& box : response["boxes"]) ++used[box["box_reference"].get<std::string>()];
  const json& unplaced = response["unplaced_items"];
  ASSERT_EQ(insights["unplaced"].size(), unplaced.size()) << where;
  for (std::size_t k = 0; k < unplaced.size(); ++k) {
    const json& item = unplaced[k];
    const std::string reason = insights["unplaced"][k]["reason"];
    EXPECT_EQ(insights["unplaced"][k]["ItemCode"], item["ItemCode"]);
    ++seen[reason];
    bool someFits = false, emptyBoxTakesIt = false;
    for (const BoxRef& box : request.boxes.entries()) {
      if (!box->isActive() || !fitsSomeTurn(item, *box)) continue;
      someFits = true;
      const double weight = item["Weight"];
      const bool carries = !box->hasMaxWeight() || weight <= box->payloadCapacity();
      const auto* limited = dynamic_cast<const LimitedSupplyBox*>(box.get());
      const bool left = limited == nullptr || used[box->reference()] < limited->maximumBoxes();
      emptyBoxTakesIt = emptyBoxTakesIt || (carries && left);
    }
    if (reason == "too_large") {
      EXPECT_FALSE(someFits) << where << " item " << k;
    } else if (reason == "no_room") {
      EXPECT_TRUE(emptyBoxTakesIt) << where << " item " << k;
    }
    if (reason != "too_large" && reason != "no_active_box_type") {
      EXPECT_TRUE(someFits) << where << " item " << k;
    }
  }
}

TEST(InsightsPropertiesTest, HoldOverGeneratedRequests) {
  const char* given = std::getenv("VARBEX_INSIGHTS_REQUESTS");
  // A run over 10,000 takes minutes in a Debug or sanitizer build; the suite runs fewer.
  const int count = given ? std::atoi(given) : VARBEX_INSIGHTS_DEFAULT_REQUESTS;
  std::map<std::string, int> seen;
  long items = 0, overhanging = 0, floating = 0;
  for (int index = 0; index < count; ++index) {
    const std::string where = "request " + std::to_string(index);
    const std::string requestText = testing::generateRequest(25, static_cast<std::uint64_t>(index));
    const std::string responseText = solved(requestText);
    const json response = json::parse(responseText);
    if (response.contains("error")) continue;
    const PackingRequest request = readRequest(json::parse(requestText));
    const PackedResponse packed = readPackedResponse(response);
    const json insights = json::parse(insightsText(requestText, responseText));
    ASSERT_EQ(insights["boxes"].size(), packed.boxes.size()) << where;
    for (std::size_t b = 0; b < packed.boxes.size(); ++b) {
      items += static_cast<long>(packed.boxes[b].items.size());
      const BoxStanding standing = measureBox(packed.boxes[b]);
      for (const ItemStanding& item : standing.items) {
        overhanging += item.overhang ? 1 : 0;
        floating += item.support == 0.0 ? 1 : 0;
      }
      checkBox(packed.boxes[b], standing, where + " box " + std::to_string(b));
      if (HasFatalFailure()) return;
    }
    checkVerdicts(insights, request, response, seen, where);
    if (HasFatalFailure()) return;
  }
  std::string tally;
  for (const auto& [reason, n] : seen) tally += " " + reason + "=" + std::to_string(n);
  std::printf("%d requests, %ld placed items (%ld overhanging, %ld on nothing), unplaced:%s\n", count,
              items, overhanging, floating, tally.c_str());
  // The generator reaches every reason but the lack of an active box type often enough.
  if (count >= 1000) {
    for (const char* reason : {"too_large", "too_heavy", "box_supply_used_up", "no_room"}) {
      EXPECT_GT(seen[reason], 0) << reason;
    }
  }
}

}  // namespace
}  // namespace varbex::insights
