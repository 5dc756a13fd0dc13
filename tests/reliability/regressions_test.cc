// Faults that hostile inputs once provoked, each pinned by the smallest request or call that
// showed it: out-of-bounds sorting on NaN keys, a stack overflow on tall towers, balancing that
// swung one item to and fro, or items round a cycle of boxes, until its deadline, undefined
// float-to-integer conversions, and an error envelope that could not be written for input that is
// not UTF-8.

#include <pthread.h>

#include <cmath>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "api/request_reader.h"
#include "api/solve.h"
#include "base/json_teardown.h"
#include "fill/gap_filler.h"
#include "fill/layer_filler.h"
#include "model/box.h"
#include "model/box_pool.h"
#include "model/box_sorter.h"
#include "model/filled_box.h"
#include "model/filled_box_list.h"
#include "model/item.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "model/packed_box_sorter.h"
#include "orient/lookahead.h"
#include "orient/lookahead_shortcuts.h"
#include "orient/orientation_chooser.h"
#include "reliability_support.h"
#include "solver/balancing_stats.h"
#include "solver/weight_balancer.h"

namespace varbex {
namespace {

using nlohmann::json;

ItemRef itemOf(const std::string& code, double width, double length, double depth,
               double weight = 0, RotationPolicy policy = RotationPolicy::BestFit) {
  return std::make_shared<ConcreteItem>(code, code, width, length, depth, weight, policy);
}

BoxRef boxOf(double width, double length, double depth) {
  return std::make_shared<ConcreteBox>("B", width, length, depth, -1, 0, true);
}

PlacedItem placedAt(const ItemRef& item, double x, double y, double z) {
  return PlacedItem(OrientedItem(item, item->width(), item->length(), item->depth(), "WLD"), x, y,
                    z);
}

template <typename Element>
std::multiset<const void*> identities(const std::vector<Element>& elements) {
  std::multiset<const void*> ids;
  for (const Element& e : elements) ids.insert(&*e);
  return ids;
}

// --- NaN sort keys -------------------------------------------------------------------------

// 1e200 x 1e200 x 0 has volume inf x 0: NaN, which no comparison orders. std::sort's unguarded
// partitioning then could run past the ends of the range; every element must still come back
// exactly once.
TEST(NaNSortKeys, ItemPoolSortsEveryItemOnce) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (int k = 0; k < 200; ++k) {
    pool.add(k % 3 == 0 ? itemOf("nan" + std::to_string(k), 1e200, 1e200, 0)
                        : itemOf("plain" + std::to_string(k), 1 + k % 7, 2, 3, k % 5));
  }
  const std::vector<ItemRef>& sorted = pool.sorted();
  ASSERT_EQ(sorted.size(), pool.size());
  EXPECT_EQ(identities(sorted), identities(pool.entries()));
}

TEST(NaNSortKeys, BoxPoolSortsEveryBoxOnce) {
  BoxPool pool(std::make_shared<DefaultBoxSorter>());
  for (int k = 0; k < 200; ++k) {
    pool.add(k % 3 == 0 ? boxOf(1e200, 1e200, 0) : boxOf(1 + k % 7, 2, 3));
  }
  EXPECT_EQ(identities(pool.sorted()), identities(pool.entries()));
}

TEST(NaNSortKeys, FilledBoxListSortsEveryBoxOnce) {
  FilledBoxList list(std::make_shared<DefaultPackedBoxSorter>());
  std::multiset<std::size_t> counts;
  for (int k = 0; k < 200; ++k) {
    // Utilisation of a NaN-volume box and used volume of a NaN-volume item are NaN.
    const bool unordered = k % 3 == 0;
    FilledBox filled(unordered ? boxOf(1e200, 1e200, 0) : boxOf(10, 10, 10));
    for (int n = 0; n <= k % 4; ++n) {
      filled.addItem(placedAt(unordered ? itemOf("n", 1e200, 1e200, 0) : itemOf("p", 1, 1, 1 + k % 5),
                              n, 0, 0));
    }
    counts.insert(filled.itemCount());
    list.add(std::move(filled));
  }
  std::multiset<std::size_t> sortedCounts;
  for (const FilledBox& filled : list.sorted()) sortedCounts.insert(filled.itemCount());
  EXPECT_EQ(sortedCounts, counts);
}

TEST(NaNSortKeys, GapFillingSortsSpacesOfNaNVolume) {
  // A flat packing 1e200 x 1e200 x 0: cutting items out of it leaves many free spaces whose
  // volume is inf x 0, mixed with finite ones.
  const BoxRef flat = boxOf(1e200, 1e200, 0);
  Layer layer;
  for (int k = 0; k < 30; ++k) layer.insert(placedAt(itemOf("p", 1, 1, 0), 3.0 * k, 2.0 * (k % 4), 0));
  ItemStack remaining;
  for (int k = 0; k < 20; ++k) remaining.push_back(itemOf("r" + std::to_string(k), 1, 1, 0));
  const ItemStack offered = remaining;
  OrientationChooser chooser(flat);
  chooser.setLookaheadDisabled(true);
  LayerFiller filler(chooser);
  const std::vector<Layer> layers = fillGaps({layer}, remaining, filler, 1e200, 1e200, 0);

  std::multiset<const void*> placed;
  for (std::size_t k = 1; k < layers.size(); ++k) {
    for (const PlacedItem& p : layers[k].items()) placed.insert(p.item.get());
  }
  std::multiset<const void*> expected = identities(offered);
  for (const ItemRef& left : remaining) expected.erase(expected.find(left.get()));
  EXPECT_EQ(placed, expected);
  EXPECT_TRUE(remaining.empty());
}

TEST(NaNSortKeys, SolveWithNaNVolumesPlacesEachItemOnce) {
  json items = json::array();
  for (int k = 0; k < 40; ++k) {
    items.push_back(reliability::item("n" + std::to_string(k), 1e200, 1e200, 0));
    items.push_back(reliability::item("p" + std::to_string(k), 1, 1 + k % 3, 0));
  }
  json boxes = json::array();
  for (int k = 0; k < 20; ++k) boxes.push_back(reliability::box("flat" + std::to_string(k), 1e200, 1e200, 0));
  reliability::soundPackingOf({{"items", items}, {"boxes", boxes}});
}

// --- A tower of thin items -----------------------------------------------------------------

// Every item stacked on another opened a nested region; filled by recursion, a tower of
// thousands of thin items overflowed the call stack. Solved here on a thread whose stack is far
// smaller than such recursion needs.
TEST(ThinTower, ThousandsOfStackedItemsNeedNoDeepStack) {
  const int thin = reliability::kUnderSanitizer ? 600 : 1500;
  json items = json::array();
  json post = reliability::item("post", 10, 10, 100, 0);
  post["AllowedRotation"] = "Never";
  items.push_back(post);
  for (int k = 0; k < thin; ++k) {
    json sheet = reliability::item("sheet" + std::to_string(k), 10, 10, 0.001, 0);
    sheet["AllowedRotation"] = "Never";
    items.push_back(sheet);
  }
  struct Task {
    std::string request;
    std::string answer;
  } task{json{{"items", items}, {"boxes", {reliability::box("B", 20, 10, 100)}}}.dump(), ""};

  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
  pthread_t thread;
  auto run = [](void* argument) -> void* {
    Task& t = *static_cast<Task*>(argument);
    char* raw = varbex_solve(t.request.c_str());
    if (raw != nullptr) t.answer = raw;
    varbex_free(raw);
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &task), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attributes);

  const json answer = reliability::parsedAnswer(task.answer);
  ASSERT_TRUE(answer.contains("success")) << task.answer.substr(0, 500);
  EXPECT_TRUE(answer.at("success").get<bool>());
  EXPECT_EQ(answer.at("summary").at("total_placed"), thin + 1);
}

// --- Balancing that swung one item to and fro ------------------------------------------------

// Loads 157 + 73.9 and 157: moving the 73.9 across swaps the two loads exactly, so in exact
// arithmetic it narrows nothing, but the rounded half-differences say it does, both ways. The
// item then went back and forth until the 250 ms deadline, and the answer depended on how many
// swings the machine managed.
class SwingingItem : public ::testing::Test {
 protected:
  SwingingItem() : boxes_(std::make_shared<DefaultBoxSorter>()) {
    boxes_.add(type_);
    work_.push_back(filledWith({itemOf("anchor", 1, 1, 1, 400)}));
    work_.push_back(filledWith({heavy_, swinging_}));
    work_.push_back(filledWith({light_}));
  }

  FilledBox filledWith(const std::vector<ItemRef>& items) const {
    FilledBox filled(type_);
    double x = 0;
    for (const ItemRef& item : items) filled.addItem(placedAt(item, x++, 0, 0));
    return filled;
  }

  static bool holds(const FilledBox& filled, const ItemRef& item) {
    for (const PlacedItem& p : filled.items()) {
      if (p.item == item) return true;
    }
    return false;
  }

  const BoxRef type_ = std::make_shared<ConcreteBox>("B", 100, 100, 100, -1, 0, true);
  const ItemRef heavy_ = itemOf("heavy", 1, 1, 1, 157);
  const ItemRef swinging_ = itemOf("swinging", 1, 1, 1, 73.9);
  const ItemRef light_ = itemOf("light", 1, 1, 1, 157);
  BoxPool boxes_;
  std::vector<FilledBox> work_;
};

TEST_F(SwingingItem, TheMoveBackIsNotMade) {
  WeightBalancer balancer(boxes_);
  const double target = (400 + (157 + 73.9) + 157) / 3.0;
  WeightBalancer::Available available{{type_.get(), 1000}};
  const WeightBalancer::DeadlineTest never = [] { return false; };

  ASSERT_TRUE(balancer.moveOneItem(work_, 1, 2, target, available, never));
  ASSERT_TRUE(holds(work_[2], swinging_));
  // Now the other box is the heavier one by the same 73.9.
  EXPECT_FALSE(balancer.moveOneItem(work_, 1, 2, target, available, never));
  EXPECT_TRUE(holds(work_[2], swinging_));
}

TEST_F(SwingingItem, BalancingEndsAfterOneMove) {
  FilledBoxList list(std::make_shared<DefaultPackedBoxSorter>());
  for (FilledBox& filled : work_) list.add(filled);
  const FilledBoxList balanced = WeightBalancer(boxes_).balance(list);
  ASSERT_EQ(balanced.size(), 3u);
  int withSwinging = 0;
  for (const FilledBox& filled : balanced.entries()) {
    if (holds(filled, swinging_)) {
      ++withSwinging;
      EXPECT_TRUE(holds(filled, light_));
    }
  }
  EXPECT_EQ(withSwinging, 1);
}

// --- Balancing that went round a cycle of boxes ------------------------------------------

// Shop orders with decimal weights (0.7, 0.12, 0.2) where rounding lets moves through whose exact
// effect narrows nothing, and the items then went round three or more boxes until the deadline:
// each solve took 250 ms and answered by the machine's speed. Balancing now stops when it comes
// back to a state it has been in, long before any deadline.
class CyclingBalancing : public ::testing::TestWithParam<const char*> {
 protected:
  static std::string request(const std::string& name) {
    std::ifstream in(std::string(VARBEX_SOURCE_DIR) + "/tests/reliability/cycling/" + name +
                     ".json");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // With 30 s of balancing, so that a slow sanitizer build cannot end it by its deadline instead.
  static std::string answerText(const std::string& request) {
    EngineOptions options;
    options.balancingBudget = std::chrono::seconds(30);
    char* raw = solveWithOptions(request.c_str(), options);
    std::string text = raw ? raw : "";
    varbex_free(raw);
    return text;
  }
};

TEST_P(CyclingBalancing, StopsOnReturningAndAnswersTheSameEverywhere) {
  const std::string text = request(GetParam());
  ASSERT_FALSE(text.empty());
  const std::uint64_t returnsBefore = balancingReturnsOnThisThread();
  const std::uint64_t cutsBefore = balancingCutsOnThisThread();
  const std::string first = answerText(text);
  EXPECT_EQ(balancingReturnsOnThisThread(), returnsBefore + 1);
  EXPECT_EQ(balancingCutsOnThisThread(), cutsBefore);
  EXPECT_NE(first.find("\"success\":true"), std::string::npos);

  // Again on this thread, with its lookahead memo now warm, and on fresh threads.
  EXPECT_EQ(answerText(text), first);
  for (int run = 0; run < 2; ++run) {
    std::string fresh;
    std::thread([&] { fresh = answerText(text); }).join();
    EXPECT_EQ(fresh, first);
  }
}

INSTANTIATE_TEST_SUITE_P(Requests, CyclingBalancing,
                         ::testing::Values("glasses_towels_soap", "shop_order_01082",
                                           "shop_order_01426", "shop_order_01941",
                                           "shop_order_01999"));

// --- Float-to-integer conversions ----------------------------------------------------------

TEST(FloatConversions, MaximumBoxesRealsBeyond32BitsAreClamped) {
  struct Case {
    double written;
    std::int32_t expected;
  };
  const Case cases[] = {
      {1e10, std::numeric_limits<std::int32_t>::max()},
      {1e300, std::numeric_limits<std::int32_t>::max()},
      {2147483647.9, std::numeric_limits<std::int32_t>::max()},
      {-1e10, std::numeric_limits<std::int32_t>::min()},
      {-2147483648.5, std::numeric_limits<std::int32_t>::min()},
      {-7.9, -7},
      {3.99, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    const BoxRef read = readBox(json{{"Reference", "B"}, {"Width", 1}, {"Length", 1}, {"Depth", 1},
                                     {"MaxWeight", -1}, {"MaximumBoxes", c.written}});
    const LimitedSupplyBox* limited = asLimitedSupply(*read);
    ASSERT_NE(limited, nullptr);
    EXPECT_EQ(limited->maximumBoxes(), c.expected);
  }
}

TEST(FloatConversions, LookaheadKeysOfHugeAndNaNValuesArePinned) {
  const ItemRef tiny = itemOf("t", 1e-300, 1e-300, 1e-300);
  const ItemStack next{tiny, tiny};
  const OrientedItem candidate(tiny, 1e-300, 1e-300, 1e-300, "WLD");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const LookaheadQuestion question{1e300, nan, -1e300, 0, next};
  for (const LookaheadKey& key : {makeLookaheadKey(question, candidate),
                                   makeLookaheadKey(question, candidate, nullptr,
                                                    MicrosRoundedInline{})}) {
    EXPECT_EQ(key.words[0], std::numeric_limits<std::int64_t>::min());  // 1e300 x 1e6
    EXPECT_EQ(key.words[1], std::numeric_limits<std::int64_t>::min());  // NaN
    EXPECT_EQ(key.words[5], std::numeric_limits<std::int64_t>::min());  // -1e300 x 1e6
    EXPECT_EQ(key.words[2], 0);                                         // 1e-300 rounds to 0
  }
}

TEST(FloatConversions, TinyCopiesInAHugeBoxAreCountedWithoutOverflow) {
  // Grid counts of 1e300 / 1e-300 copies per side, and lookahead keys of such extents, went
  // through conversions to 64-bit integers that are undefined beyond that range.
  json items = json::array();
  for (int k = 0; k < 12; ++k) items.push_back(reliability::item("t" + std::to_string(k), 1e-300, 2e-300, 3e-300));
  for (int k = 0; k < 4; ++k) items.push_back(reliability::item("u" + std::to_string(k), 1e300, 1, 1));
  const json answer = reliability::soundPackingOf(
      {{"items", items}, {"boxes", {reliability::box("B", 1e300, 1e300, 1e300)}}});
  EXPECT_TRUE(answer.at("success").get<bool>());
}

// --- The gap behind an item of huge width (found by fuzzing) --------------------------------

// A row of A (0.2 wide) and Z (1e12 wide, no length), then C, which only the gap behind Z can
// take. That gap began at (0.2 + 1e12) - 1e12 = 0.19995..., inside A, and C went there.
TEST(HugeWidths, TheGapBehindAnItemStartsWhereTheItemDoes) {
  json a = reliability::item("A", 0.2, 35, 5);
  json z = reliability::item("Z", 1e12, 0, 0);
  json c = reliability::item("C", 5, 5, 5);
  for (json* i : {&a, &z, &c}) (*i)["AllowedRotation"] = "Never";
  c["BoxGroup"] = "G";  // grouped items come after the others, so C is tried after Z
  const json answer = reliability::soundPackingOf(
      {{"items", {a, z, c}}, {"boxes", {reliability::box("B", 1e13, 35, 5)}}});
  for (const json& p : answer.at("placements")) {
    if (p.at("ItemCode") == "C") {
      EXPECT_GE(p.at("x").get<double>(), 0.2);
    }
  }
}

// --- Memory running out (found by the memory-limit test) -----------------------------------

// The JSON library's destructor allocates a working array as wide as the widest container, and
// an allocation failing in a destructor ends the process; values are therefore emptied without
// allocating before they are destroyed (the child-process tests show the whole path).
TEST(JsonTeardown, DismantleEmptiesDeepAndWideValues) {
  json deep = json::array();
  json* tip = &deep;
  const int levels = reliability::kUnderSanitizer ? 20000 : 100000;
  for (int k = 0; k < levels; ++k) {
    if (k % 2 == 0) {
      tip->push_back(json::object());
      tip = &tip->back();
    } else {
      (*tip)["k"] = json::array({1, "two", 3.0});
      (*tip)["z"] = json::array();
      tip = &(*tip)["z"];
    }
  }
  dismantle(deep);
  EXPECT_TRUE(deep.is_array());
  EXPECT_TRUE(deep.empty());

  json wide = json::object();
  for (int k = 0; k < 10000; ++k) {
    wide[std::to_string(k)] = json::array({json::object({{"a", k}}), json::array(), "s"});
  }
  dismantle(wide);
  EXPECT_TRUE(wide.empty());

  json leaf = "text";
  dismantle(leaf);
  EXPECT_EQ(leaf, "text");
}

TEST(JsonTeardown, DismantleOnThrowActsOnlyWhenUnwinding) {
  json kept = json::array({1, 2, 3});
  { const DismantleOnThrow guard(kept); }
  EXPECT_EQ(kept.size(), 3u);

  json dropped = json::array({json::array({1}), 2});
  try {
    const DismantleOnThrow guard(dropped);
    throw std::runtime_error("out of memory, say");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(dropped.empty());
}

// --- Envelope for input that is not UTF-8 --------------------------------------------------

// The parse error quotes the offending bytes; written strictly the envelope could not be
// dumped, and the exception escaped. The bytes now come back as U+FFFD.
TEST(InvalidUtf8, ParseErrorQuotingBadBytesStillGivesAValidEnvelope) {
  const json answer = reliability::answerTo("{\"items\":[{\"ItemCode\":\"\xFF\xFE\"}]}");
  const std::string error = reliability::errorOf(answer);
  EXPECT_EQ(error.rfind("[json.exception.parse_error.101]", 0), 0u) << error;
  EXPECT_NE(error.find("\xEF\xBF\xBD"), std::string::npos) << error;
}

}  // namespace
}  // namespace varbex
