// Requests that a careless or hostile caller might send: absurd nesting and size, numbers at the
// edges of double and 32-bit ranges, degenerate shapes, duplicate keys, any Unicode, and
// thousands of box types. Each answer must be the error envelope with a clear message or a
// sound packing document, delivered without a crash or a hang.

#include <pthread.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "reliability_support.h"

namespace {

using nlohmann::json;
using reliability::answerText;
using reliability::answerTo;
using reliability::box;
using reliability::errorOf;
using reliability::item;
using reliability::parsedAnswer;
using reliability::soundPackingOf;

const char kEmptyResponse[] =
    R"({"boxes":[],"placements":[],"success":true,"summary":{"box_count":0,)"
    R"("overall_volume_utilisation":0.0,"total_placed":0,"total_unplaced":0},)"
    R"("unplaced_item_codes":[],"unplaced_items":[]})";

// Runs `body` on a thread with a small stack: work that recursed once per level of nesting
// would overflow it long before 100000 levels.
void onSmallStack(const std::function<void()>& body) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 1024 * 1024), 0);
  pthread_t thread;
  auto run = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&body)), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attributes);
}

std::string nested(const std::string& open, const std::string& inner, const std::string& close,
                   int depth) {
  std::string text;
  text.reserve((open.size() + close.size()) * static_cast<std::size_t>(depth) + inner.size());
  for (int k = 0; k < depth; ++k) text += open;
  text += inner;
  for (int k = 0; k < depth; ++k) text += close;
  return text;
}

constexpr int kDeep = 100000;

TEST(HostileInputs, ArrayNested100000DeepIsAnEmptyRequest) {
  onSmallStack([] { EXPECT_EQ(answerText(nested("[", "", "]", kDeep)), kEmptyResponse); });
}

TEST(HostileInputs, ObjectNested100000DeepInAnIgnoredMemberIsIgnored) {
  onSmallStack([] {
    const std::string deep = nested(R"({"a":)", "1", "}", kDeep);
    EXPECT_EQ(answerText(R"({"items":[],"ignored":)" + deep + "}"), kEmptyResponse);
  });
}

TEST(HostileInputs, DeepNestingInsideAnItemLeavesTheItemPackable) {
  onSmallStack([] {
    const std::string request =
        R"({"items":[{"ItemCode":"A","Width":1,"Length":2,"Depth":3,"Notes":)" +
        nested("[", "", "]", kDeep) +
        R"(}],"boxes":[{"Reference":"B","Width":5,"Length":5,"Depth":5,"MaxWeight":-1}]})";
    const json answer = answerTo(request);
    ASSERT_TRUE(answer.contains("placements")) << answer.dump();
    EXPECT_EQ(reliability::placedCodes(answer), std::vector<std::string>{"A"});
  });
}

TEST(HostileInputs, DeeplyNestedItemIsRefusedWithTheItemMessage) {
  onSmallStack([] {
    const json answer = answerTo(R"({"items":)" + nested("[", "", "]", kDeep) + "}");
    EXPECT_EQ(errorOf(answer), "item is missing required field 'ItemCode'");
  });
}

TEST(HostileInputs, UnclosedNestingIsAParseError) {
  onSmallStack([] {
    const std::string error = errorOf(answerTo(std::string(kDeep, '[')));
    EXPECT_EQ(error.rfind("[json.exception.parse_error.101]", 0), 0u) << error;
  });
}

// The teardown of what the parse built must cost no more than the parse: once it was walked again
// from the root beyond a fixed depth, and 16 MiB of '[' took minutes. Measured against the JSON
// library parsing the same text by itself, so that no machine is too slow for it.
TEST(HostileInputs, MillionsOfLevelsCostAboutWhatTheirParseCosts) {
  if (reliability::kUnderSanitizer) GTEST_SKIP() << "too much memory under a sanitizer";
  const std::string text(std::size_t{2} << 20, '[');
  using Clock = std::chrono::steady_clock;
  const Clock::time_point parseStart = Clock::now();
  EXPECT_TRUE(json::parse(text, nullptr, false).is_discarded());
  const Clock::duration parse = Clock::now() - parseStart;

  const Clock::time_point solveStart = Clock::now();
  const std::string error = errorOf(answerTo(text));
  const Clock::duration solve = Clock::now() - solveStart;
  EXPECT_EQ(error.rfind("[json.exception.parse_error.101]", 0), 0u) << error;
  EXPECT_LT(solve, 5 * parse) << "parse alone "
                              << std::chrono::duration<double>(parse).count() << " s";
}

TEST(HostileInputs, FiftyMegabyteRequestIsSolved) {
  // Size costs only time and memory; under a sanitizer, which checks the same code for memory
  // errors 5 to 20 times slower, a smaller request suffices.
  const std::size_t padding = reliability::kUnderSanitizer ? 8u << 20 : 50u << 20;
  std::string request =
      R"({"boxes":[{"Reference":"B","Width":10,"Length":10,"Depth":10,"MaxWeight":-1}],)"
      R"("items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1}],"padding":")";
  request.append(padding, 'x');
  request += R"("})";
  const json answer = answerTo(request);
  ASSERT_TRUE(answer.contains("placements")) << answer.dump().substr(0, 500);
  EXPECT_EQ(reliability::placedCodes(answer), std::vector<std::string>{"A"});
}

TEST(HostileInputs, MegabyteItemCodeComesBackWhole) {
  const std::string code(1u << 20, 'c');
  const json answer =
      soundPackingOf({{"items", {item(code, 1, 1, 1)}}, {"boxes", {box("B", 2, 2, 2)}}});
  ASSERT_EQ(answer.at("placements").size(), 1u);
  EXPECT_EQ(answer.at("placements")[0].at("ItemCode"), code);
}

TEST(HostileInputs, DimensionsOf1e308OverflowVolumesWithoutHarm) {
  const double big = 1e308;
  const json answer = soundPackingOf(
      {{"items",
        {item("huge", big, big, big), item("max", DBL_MAX, 1, 1), item("small", 1, 2, 3)}},
       {"boxes", {box("giant", big, big, big), box("vast", DBL_MAX, DBL_MAX, DBL_MAX)}}});
  EXPECT_TRUE(answer.at("success").get<bool>()) << answer.dump().substr(0, 2000);
  // Infinite volumes cannot be written as JSON numbers; they come back as null.
  for (const json& b : answer.at("boxes")) EXPECT_TRUE(b.at("inner_volume").is_null());
}

TEST(HostileInputs, NaNVolumesLeaveEveryItemAccountedFor) {
  // 1e200 x 1e200 x 0 has volume inf x 0, a NaN; enough of them that the sorters' partitioning
  // (not only their insertion sort for short ranges) meets the NaNs, in items and box types.
  json items = json::array();
  for (int k = 0; k < 40; ++k) items.push_back(item("nan" + std::to_string(k), 1e200, 1e200, 0));
  for (int k = 0; k < 40; ++k) {
    items.push_back(item("plain" + std::to_string(k), 1 + k % 5, 2, 3, k % 7));
  }
  json boxes = json::array();
  for (int k = 0; k < 30; ++k) {
    const bool wide = k % 2 == 1;
    boxes.push_back(box("B" + std::to_string(k), wide ? 1e200 : 10 + k, wide ? 1e200 : 10,
                        k % 3 == 0 ? 0 : 5));
  }
  soundPackingOf({{"items", items}, {"boxes", boxes}});
}

TEST(HostileInputs, ZeroAndNegativeDimensionsAndWeightsAreAccepted) {
  const json items = {item("zero", 0, 0, 0),          item("flat", 4, 4, 0),
                      item("negative", -5, 2, 2),     item("allNegative", -1, -1, -1),
                      item("lightAsAir", 2, 2, 2, 0), item("buoyant", 2, 2, 2, -10),
                      item("plain", 3, 3, 3, 2)};
  const json boxes = {box("B", 10, 10, 10, 20), box("void", 0, 0, 0, 5),
                      box("inside-out", -10, 10, 10, -1),
                      json{{"Reference", "lead"}, {"Width", 10}, {"Length", 10}, {"Depth", 10},
                           {"MaxWeight", 1}, {"BoxWeight", 5}}};
  soundPackingOf({{"items", items}, {"boxes", boxes}});
}

TEST(HostileInputs, NegativeZeroIsCarriedThroughAsNegativeZero) {
  const std::string text = answerText(
      R"({"items":[{"ItemCode":"A","Width":-0.0,"Length":1,"Depth":1,"Weight":-0.0}],)"
      R"("boxes":[{"Reference":"B","Width":2,"Length":2,"Depth":2,"MaxWeight":-0.0}]})");
  const json answer = parsedAnswer(text);
  ASSERT_EQ(answer.at("placements").size(), 1u) << text;
  const json& placed = answer.at("placements")[0];
  EXPECT_TRUE(std::signbit(placed.at("original_width").get<double>())) << text;
  EXPECT_TRUE(std::signbit(placed.at("weight").get<double>())) << text;
  EXPECT_NE(text.find(R"("original_width":-0.0)"), std::string::npos) << text;
  // MaxWeight -0.0 compares equal to 0: a maximum of zero, not "no maximum".
  EXPECT_EQ(answer.at("boxes")[0].at("max_weight"), 0.0);
}

TEST(HostileInputs, DuplicateKeysCountWithTheirLastValue) {
  EXPECT_EQ(answerText(R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1}],"items":[]})"),
            kEmptyResponse);
  const json answer = answerTo(
      R"({"items":[{"ItemCode":"A","ItemCode":"B","Width":100,"Width":1,"Length":1,"Depth":1}],)"
      R"("boxes":[{"Reference":"X","Width":2,"Length":2,"Depth":2,"MaxWeight":5,"MaxWeight":-1}]})");
  ASSERT_EQ(answer.at("placements").size(), 1u) << answer.dump();
  EXPECT_EQ(answer.at("placements")[0].at("ItemCode"), "B");
  EXPECT_EQ(answer.at("placements")[0].at("original_width"), 1.0);
  EXPECT_TRUE(answer.at("boxes")[0].at("max_weight").is_null());
}

TEST(HostileInputs, NonAsciiAndEscapedCodesComeBackAsTheSameUtf8) {
  struct Case {
    const char* written;   // as it stands in the request text
    std::string expected;  // the UTF-8 string it denotes
  };
  const Case cases[] = {
      {"\"\xC3\xA9t\xC3\xA9\"", "\xC3\xA9t\xC3\xA9"},                   // raw UTF-8
      {R"("\u00e9t\u00e9")", "\xC3\xA9t\xC3\xA9"},                       // the same, escaped
      {"\"\xF0\x9F\x98\x80\"", "\xF0\x9F\x98\x80"},                      // beyond the BMP
      {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},                         // a surrogate pair
      {"\"\xE6\x97\xA5\xE6\x9C\xAC\"", "\xE6\x97\xA5\xE6\x9C\xAC"},      // CJK
      {R"("tab\there \"quoted\" back\\slash\/")", "tab\there \"quoted\" back\\slash/"},
      {R"("nul\u0000inside")", std::string("nul\0inside", 10)},
  };
  std::string items;
  for (std::size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    if (k) items += ",";
    items += R"({"ItemCode":)" + std::string(cases[k].written) + R"(,"ItemReference":)" +
             cases[k].written + R"(,"BoxGroup":)" + cases[k].written +
             R"(,"Width":1,"Length":1,"Depth":1})";
  }
  const std::string request = "{\"items\":[" + items +
                              "],\"boxes\":[{\"Reference\":\"\xC3\xA9\",\"Width\":1,\"Length\":1,"
                              "\"Depth\":1,\"MaxWeight\":-1}]}";
  const std::string text = answerText(request);
  const json answer = parsedAnswer(text);
  ASSERT_TRUE(answer.contains("placements")) << text;

  std::multiset<std::string> expected, codes, references, groups;
  for (const Case& c : cases) expected.insert(c.expected);
  for (const json& p : answer.at("placements")) {
    codes.insert(p.at("ItemCode").get<std::string>());
    references.insert(p.at("ItemReference").get<std::string>());
    groups.insert(p.at("box_group").get<std::string>());
    EXPECT_EQ(p.at("box_reference"), "\xC3\xA9");
  }
  EXPECT_EQ(codes, expected);
  EXPECT_EQ(references, expected);
  EXPECT_EQ(groups, expected);
  // Characters beyond ASCII are written as their UTF-8 bytes, never as \u escapes.
  EXPECT_NE(text.find("\xF0\x9F\x98\x80"), std::string::npos);
  EXPECT_EQ(text.find("\\ud83d"), std::string::npos);
  EXPECT_NE(text.find("\\u0000"), std::string::npos);  // a NUL must stay escaped
}

TEST(HostileInputs, InvalidUtf8IsAParseErrorInAValidEnvelope) {
  const char* const requests[] = {
      "{\"items\":[{\"ItemCode\":\"\xFF\"}]}",  // a byte that never occurs in UTF-8
      "{\"items\":\xFF}",                       // outside any string
      "\"\xC0\xAF\"",                           // an overlong encoding
      "\"\xED\xA0\x80\"",                       // an encoded surrogate
      "\"\xF4\x90\x80\x80\"",                   // beyond U+10FFFF
      "\"\xE6\x97\"",                           // cut short
      R"("\ud800")",                            // a lone escaped surrogate
  };
  for (const char* request : requests) {
    SCOPED_TRACE(request);
    // parsedAnswer parses strictly, so the envelope itself must be valid UTF-8.
    const std::string error = errorOf(answerTo(request));
    EXPECT_EQ(error.rfind("[json.exception.parse_error.101]", 0), 0u) << error;
  }
}

// One box type of room 1 with a given "MaximumBoxes" as written, and three items of size 1.
json supplyAnswer(const std::string& maximumBoxes) {
  const std::string request =
      R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1},)"
      R"({"ItemCode":"B","Width":1,"Length":1,"Depth":1},)"
      R"({"ItemCode":"C","Width":1,"Length":1,"Depth":1}],)"
      R"("boxes":[{"Reference":"B","Width":1,"Length":1,"Depth":1,"MaxWeight":-1,"MaximumBoxes":)" +
      maximumBoxes + "}]}";
  const json answer = answerTo(request);
  const json parsed = json::parse(request);
  const auto problems = varbex_checks::packingProblems(varbex_checks::requestOf(parsed), answer);
  EXPECT_TRUE(problems.empty()) << reliability::joined(problems);
  return answer;
}

TEST(HostileInputs, MaximumBoxesAtAndBeyondThe32BitLimits) {
  struct Case {
    const char* written;
    std::int64_t boxesUsed;
  };
  const Case cases[] = {
      {"2147483647", 3},           // the largest 32-bit count
      {"-2147483648", 0},          // the smallest
      {"2147483648", 0},           // integers are cut to 32 bits: -2147483648
      {"4294967297", 1},           // 2^32 + 1 cut to 1
      {"4294967298", 2},           // 2^32 + 2 cut to 2
      {"9223372036854775807", 0},  // cut to -1
      {"18446744073709551615", 0}, // cut to -1
      {"1e10", 3},                 // reals are clamped to the 32-bit range
      {"1e300", 3},
      {"-1e10", 0},
      {"2147483647.5", 3},
      {"2.9", 2},                  // reals are truncated
      {"true", 1},
      {"false", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    const json answer = supplyAnswer(c.written);
    ASSERT_TRUE(answer.contains("summary")) << answer.dump();
    EXPECT_EQ(answer.at("summary").at("box_count"), c.boxesUsed);
    EXPECT_EQ(answer.at("summary").at("total_unplaced"), 3 - c.boxesUsed);
  }
}

TEST(HostileInputs, ThousandsOfBoxTypes) {
  // Each new box tries a fill of every type, so the types here are mostly too small for any
  // item (a cheap try); thousands that all fit would cost thousands of full fills per box.
  json boxes = json::array();
  for (int k = 0; k < 2000; ++k) {
    boxes.push_back(box("tiny" + std::to_string(k), 1 + k % 3 * 0.5, 1 + k % 5 * 0.25,
                        1 + k % 7 * 0.1, 10 + k % 13));
  }
  for (int k = 0; k < 3; ++k) boxes.push_back(box("real" + std::to_string(k), 20 + k, 20, 20, 20 + k));
  json items = json::array();
  for (int k = 0; k < 8; ++k) items.push_back(item("i" + std::to_string(k), 3 + k, 4, 5, 6));
  const json answer = soundPackingOf({{"items", items}, {"boxes", boxes}});
  EXPECT_TRUE(answer.at("success").get<bool>());
  EXPECT_GE(answer.at("boxes").size(), 3u);  // 48 of weight against limits of at most 22
}

TEST(HostileInputs, ManyInactiveBoxTypesAreNeverUsed) {
  json boxes = json::array();
  for (int k = 0; k < 2000; ++k) {
    json b = box("off" + std::to_string(k), 100, 100, 100);
    b["Active"] = false;
    boxes.push_back(b);
  }
  const json answer = soundPackingOf({{"items", {item("A", 1, 1, 1)}}, {"boxes", boxes}});
  EXPECT_EQ(answer.at("unplaced_item_codes"), json{"A"});
}

}  // namespace
