#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "varbex.h"

namespace {

using nlohmann::json;

const char kEmptyResponse[] =
    R"({"boxes":[],"placements":[],"success":true,"summary":{"box_count":0,)"
    R"("overall_volume_utilisation":0.0,"total_placed":0,"total_unplaced":0},)"
    R"("unplaced_item_codes":[],"unplaced_items":[]})";

// The item {"ItemCode": "A", "Width": 5, "Length": 4, "Depth": 2, "Weight": 3} left unplaced.
const char kItemAUnplaced[] =
    R"({"boxes":[],"placements":[],"success":false,"summary":{"box_count":0,)"
    R"("overall_volume_utilisation":0.0,"total_placed":0,"total_unplaced":1},)"
    R"("unplaced_item_codes":["A"],"unplaced_items":[{"AllowedRotation":"BestFit",)"
    R"("BoxGroup":null,"Depth":2.0,"ItemCode":"A","ItemReference":"A","Length":4.0,)"
    R"("Volume":40.0,"Weight":3.0,"Width":5.0}]})";

const char kParsePrefix[] = "[json.exception.parse_error.";

// Solves the text through the exported interface and releases the block.
std::string solve(const char* request) {
  char* response = varbex_solve(request);
  EXPECT_NE(response, nullptr);
  if (response == nullptr) return "";
  std::string text(response);
  varbex_free(response);
  return text;
}

std::string envelopeOf(const std::string& message) {
  return R"({"error":")" + message + R"(","success":false})";
}

void expectOneLine(const std::string& text) {
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(EnvelopeTest, AnswersAnEmptyRequestWithAnEmptySuccess) {
  EXPECT_EQ(solve(nullptr), kEmptyResponse);
  const char* const kTexts[] = {
      "{}",
      "[]",
      "null",
      "42",
      "true",
      "\"items\"",
      " \t\r\n{ }\n ",
      "\xEF\xBB\xBF{}",  // a leading byte-order mark is skipped
      R"({"items":null,"boxes":null})",
      R"({"items":[],"boxes":{}})",
      R"({"other":[1,2,3]})",
      R"({"items":5,"items":[]})",  // a repeated member counts with its last value
      R"([{"items":[{}]}])",
      R"({"boxes":[{"Reference":"B","MaxWeight":1,"Width":1,"Length":1,"Depth":1}]})",
      R"({"boxes":[{"Reference":"B","MaxWeight":1,"Width":1,"Length":1,"Depth":1,)"
      R"("Active":false}]})",
  };
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(solve(text), kEmptyResponse);
  }
}

TEST(EnvelopeTest, ReadsOnlyUpToTheFirstNul) {
  const char request[] = "{}\0garbage";
  EXPECT_EQ(solve(request), kEmptyResponse);
}

TEST(EnvelopeTest, ListsItemsAsUnplacedWhenNoBoxTypeCanBeUsed) {
  struct Case {
    const char* name;
    const char* request;
  };
  const Case kCases[] = {
      {"no_boxes", R"({"items":[{"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":3}]})"},
      {"empty_box_list",
       R"({"boxes":[],"items":[{"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":3}]})"},
      {"inactive_box",
       R"({"boxes":[{"Reference":"B","MaxWeight":50,"Width":10,"Length":10,"Depth":10,)"
       R"("Active":false}],"items":[{"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":3}]})"},
      {"no_supply",
       R"({"boxes":[{"Reference":"B","MaxWeight":50,"Width":10,"Length":10,"Depth":10,)"
       R"("MaximumBoxes":0}],)"
       R"("items":[{"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":3}]})"},
      // A huge negative count is clamped to the smallest 32-bit count, so still no supply.
      {"negative_supply",
       R"({"boxes":[{"Reference":"B","MaxWeight":50,"Width":10,"Length":10,"Depth":10,)"
       R"("MaximumBoxes":-1e20}],)"
       R"("items":[{"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":3}]})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(solve(c.request), kItemAUnplaced);
  }
}

TEST(EnvelopeTest, ListsUnplacedItemsUngroupedFirstThenLargestFirst) {
  const std::string response = solve(
      R"({"items":[)"
      R"({"ItemCode":"S","Width":1,"Length":1,"Depth":1},)"
      R"({"ItemCode":"G","Width":3,"Length":3,"Depth":3,"BoxGroup":"g",)"
      R"("AllowedRotation":"keep_flat"},)"
      R"({"ItemCode":"L","Width":2,"Length":2,"Depth":2,"Weight":1,"AllowedRotation":"NEVER"}]})");
  EXPECT_EQ(response,
            R"({"boxes":[],"placements":[],"success":false,"summary":{"box_count":0,)"
            R"("overall_volume_utilisation":0.0,"total_placed":0,"total_unplaced":3},)"
            R"("unplaced_item_codes":["L","S","G"],"unplaced_items":[)"
            R"({"AllowedRotation":"Never","BoxGroup":null,"Depth":2.0,"ItemCode":"L",)"
            R"("ItemReference":"L","Length":2.0,"Volume":8.0,"Weight":1.0,"Width":2.0},)"
            R"({"AllowedRotation":"BestFit","BoxGroup":null,"Depth":1.0,"ItemCode":"S",)"
            R"("ItemReference":"S","Length":1.0,"Volume":1.0,"Weight":0.0,"Width":1.0},)"
            R"({"AllowedRotation":"KeepFlat","BoxGroup":"g","Depth":3.0,"ItemCode":"G",)"
            R"("ItemReference":"G","Length":3.0,"Volume":27.0,"Weight":0.0,"Width":3.0}]})");
}

TEST(EnvelopeTest, WritesTextsEscapedOnlyWhereJsonRequires) {
  // A line break inside a code stays escaped, so the response is still one line; "é" keeps its
  // UTF-8 bytes instead of a \u escape.
  const std::string response = solve(
      "{\"items\":[{\"ItemCode\":\"A\\nB\",\"ItemReference\":\"\xC3\xA9\","
      "\"Width\":1,\"Length\":1,\"Depth\":1}]}");
  EXPECT_EQ(response,
            "{\"boxes\":[],\"placements\":[],\"success\":false,\"summary\":{\"box_count\":0,"
            "\"overall_volume_utilisation\":0.0,\"total_placed\":0,\"total_unplaced\":1},"
            "\"unplaced_item_codes\":[\"A\\nB\"],\"unplaced_items\":[{\"AllowedRotation\":"
            "\"BestFit\",\"BoxGroup\":null,\"Depth\":1.0,\"ItemCode\":\"A\\nB\",\"ItemReference\":"
            "\"\xC3\xA9\",\"Length\":1.0,\"Volume\":1.0,\"Weight\":0.0,\"Width\":1.0}]}");
  expectOneLine(response);
}

TEST(EnvelopeTest, ReportsTheFirstFaultOfARequest) {
  const std::string kItemCode = "item is missing required field 'ItemCode'";
  const std::string kReference = "box is missing required field 'Reference'";
  const std::string kType = "[json.exception.type_error.302] type must be ";
  const std::string kKey = "[json.exception.out_of_range.403] key '";
  struct Case {
    const char* name;
    const char* request;
    std::string message;
  };
  const Case kCases[] = {
      // Items.
      {"item_not_object", R"({"items":[5]})", kItemCode},
      {"item_null", R"({"items":[null]})", kItemCode},
      {"item_array", R"({"items":[["ItemCode"]]})", kItemCode},
      {"item_without_code", R"({"items":[{"Width":1,"Length":1,"Depth":1}]})", kItemCode},
      {"items_number", R"({"items":5})", kItemCode},
      {"items_string", R"({"items":"A"})", kItemCode},
      {"item_code_null", R"({"items":[{"ItemCode":null,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is null"},
      {"item_code_number", R"({"items":[{"ItemCode":5,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      {"rotation_number",
       R"({"items":[{"ItemCode":"A","AllowedRotation":1,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      {"item_weight_string",
       R"({"items":[{"ItemCode":"A","Weight":"3","Width":1,"Length":1,"Depth":1}]})",
       kType + "number, but is string"},
      {"item_depth_missing", R"({"items":[{"ItemCode":"A","Width":1,"Length":1}]})",
       kKey + "Depth' not found"},
      {"item_length_missing", R"({"items":[{"ItemCode":"A","Width":1,"Depth":1}]})",
       kKey + "Length' not found"},
      {"item_width_missing", R"({"items":[{"ItemCode":"A","Length":1,"Depth":1}]})",
       kKey + "Width' not found"},
      {"item_dimensions_missing", R"({"items":[{"ItemCode":"A"}]})", kKey + "Depth' not found"},
      {"item_width_null", R"({"items":[{"ItemCode":"A","Width":null,"Length":1,"Depth":1}]})",
       kType + "number, but is null"},
      {"item_depth_array", R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":[1]}]})",
       kType + "number, but is array"},
      {"item_depth_object", R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":{}}]})",
       kType + "number, but is object"},
      {"item_length_boolean",
       R"({"items":[{"ItemCode":"A","Width":1,"Length":true,"Depth":1}]})",
       kType + "number, but is boolean"},
      {"item_width_string", R"({"items":[{"ItemCode":"A","Width":"10","Length":1,"Depth":1}]})",
       kType + "number, but is string"},
      {"item_reference_boolean",
       R"({"items":[{"ItemCode":"A","ItemReference":false,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is boolean"},
      {"item_group_number",
       R"({"items":[{"ItemCode":"A","BoxGroup":5,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      // Items: which of two faults is reported.
      {"bad_weight_before_missing_depth",
       R"({"items":[{"ItemCode":"A","Weight":"3","Width":1,"Length":1}]})",
       kType + "number, but is string"},
      {"bad_rotation_before_bad_weight",
       R"({"items":[{"ItemCode":"A","AllowedRotation":1,"Weight":"3",)"
       R"("Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      {"missing_depth_before_bad_length",
       R"({"items":[{"ItemCode":"A","Width":1,"Length":"1"}]})", kKey + "Depth' not found"},
      {"bad_width_before_bad_reference",
       R"({"items":[{"ItemCode":"A","ItemReference":5,"Width":"1","Length":1,"Depth":1}]})",
       kType + "number, but is string"},
      {"bad_reference_before_bad_group",
       R"({"items":[{"ItemCode":"A","ItemReference":5,"BoxGroup":true,)"
       R"("Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      {"bad_code_before_missing_depth", R"({"items":[{"ItemCode":5}]})",
       kType + "string, but is number"},
      {"second_item_faulty",
       R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1},{"Width":1}]})", kItemCode},
      {"items_before_boxes", R"({"boxes":[{}],"items":[{}]})", kItemCode},
      {"last_repeated_member_counts", R"({"items":[],"items":5})", kItemCode},
      // Boxes.
      {"boxes_string", R"({"boxes":"x"})", kReference},
      {"box_not_object", R"({"boxes":[[1]]})", kReference},
      {"box_without_reference",
       R"({"boxes":[{"MaxWeight":1,"Width":1,"Length":1,"Depth":1}]})", kReference},
      {"box_without_max_weight", R"({"boxes":[{"Reference":"B","Width":1,"Length":1,"Depth":1}]})",
       "box 'B' is missing required field 'MaxWeight'"},
      {"box_max_weight_null",
       R"({"boxes":[{"Reference":"B","MaxWeight":null,"Width":1,"Length":1,"Depth":1}]})",
       "box 'B' is missing required field 'MaxWeight'"},
      {"box_empty_reference_without_max_weight", R"({"boxes":[{"Reference":""}]})",
       "box '' is missing required field 'MaxWeight'"},
      {"box_reference_number_without_max_weight",
       R"({"boxes":[{"Reference":7,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      {"box_reference_number",
       R"({"boxes":[{"Reference":7,"MaxWeight":1,"Width":1,"Length":1,"Depth":1}]})",
       kType + "string, but is number"},
      {"box_width_missing", R"({"boxes":[{"Reference":"B","MaxWeight":10,"Length":1,"Depth":1}]})",
       kKey + "Width' not found"},
      {"box_dimensions_missing", R"({"boxes":[{"Reference":"B","MaxWeight":10}]})",
       kKey + "Depth' not found"},
      {"box_width_string",
       R"({"boxes":[{"Reference":"B","MaxWeight":10,"Width":"10","Length":1,"Depth":1}]})",
       kType + "number, but is string"},
      {"box_active_number",
       R"({"boxes":[{"Reference":"B","MaxWeight":1,"Active":0,"Width":1,"Length":1,"Depth":1}]})",
       kType + "boolean, but is number"},
      {"box_max_weight_string",
       R"({"boxes":[{"Reference":"B","MaxWeight":"5","Width":1,"Length":1,"Depth":1}]})",
       kType + "number, but is string"},
      {"box_weight_string",
       R"({"boxes":[{"Reference":"B","MaxWeight":5,"BoxWeight":"1",)"
       R"("Width":1,"Length":1,"Depth":1}]})",
       kType + "number, but is string"},
      {"box_maximum_boxes_string",
       R"({"boxes":[{"Reference":"B","MaxWeight":1,"Width":1,"Length":1,"Depth":1,)"
       R"("MaximumBoxes":"3"}]})",
       kType + "number, but is string"},
      {"box_maximum_boxes_array",
       R"({"boxes":[{"Reference":"B","MaxWeight":1,"Width":1,"Length":1,"Depth":1,)"
       R"("MaximumBoxes":[3]}]})",
       kType + "number, but is array"},
      // Boxes: which of two faults is reported.
      {"missing_max_weight_before_missing_width",
       R"({"boxes":[{"Reference":"B","Length":1,"Depth":1}]})",
       "box 'B' is missing required field 'MaxWeight'"},
      {"bad_active_before_missing_width",
       R"({"boxes":[{"Reference":"B","MaxWeight":1,"Active":"yes","Length":1,"Depth":1}]})",
       kType + "boolean, but is string"},
      {"bad_active_before_bad_box_weight",
       R"({"boxes":[{"Reference":"B","MaxWeight":1,"Active":1,"BoxWeight":"1",)"
       R"("Width":1,"Length":1,"Depth":1}]})",
       kType + "boolean, but is number"},
      {"bad_box_weight_before_bad_max_weight",
       R"({"boxes":[{"Reference":"B","MaxWeight":"5","BoxWeight":[1],)"
       R"("Width":1,"Length":1,"Depth":1}]})",
       kType + "number, but is array"},
      {"bad_max_weight_before_missing_depth",
       R"({"boxes":[{"Reference":"B","MaxWeight":"5","Width":1,"Length":1}]})",
       kType + "number, but is string"},
      {"bad_reference_before_bad_maximum_boxes",
       R"({"boxes":[{"Reference":7,"MaxWeight":1,"Width":1,"Length":1,"Depth":1,)"
       R"("MaximumBoxes":"3"}]})",
       kType + "string, but is number"},
      {"missing_width_before_bad_reference",
       R"({"boxes":[{"Reference":7,"MaxWeight":1,"Length":1,"Depth":1}]})",
       kKey + "Width' not found"},
      {"second_box_faulty",
       R"({"boxes":[{"Reference":"A","MaxWeight":1,"Width":1,"Length":1,"Depth":1},{}]})",
       kReference},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string response = solve(c.request);
    EXPECT_EQ(response, envelopeOf(c.message));
    expectOneLine(response);
  }
}

TEST(EnvelopeTest, QuotesANonAsciiReferenceUnescaped) {
  EXPECT_EQ(solve("{\"boxes\":[{\"Reference\":\"Kiste \xC3\xA9\"}]}"),
            envelopeOf("box 'Kiste \xC3\xA9' is missing required field 'MaxWeight'"));
}

TEST(EnvelopeTest, AnswersAnEmptyTextWithTheLibrarysParseError) {
  EXPECT_EQ(solve(""),
            R"({"error":"[json.exception.parse_error.101] parse error at line 1, column 1: )"
            R"(attempting to parse an empty input; check that your input string or stream )"
            R"(contains the expected JSON","success":false})");
}

TEST(EnvelopeTest, RefusesAnythingButOneJsonValue) {
  const char* const kTexts[] = {
      "{} x",
      "{}{}",
      "[1] 2",
      "{},",
      "/* note */ {}",
      "{} // note",
      R"({"items":[] /* note */})",
      "# note\n{}",
      "not json",
      "{",
      "{'items':[]}",
      "nul",
      R"({"items":[})",
      "\xEF\xBB\xBF",
      "\xEF\xBB\xBF\xEF\xBB\xBF{}",
      "{\"items\":[]}\x01",
  };
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    const std::string response = solve(text);
    const json envelope = json::parse(response);
    ASSERT_TRUE(envelope.is_object());
    EXPECT_EQ(envelope.size(), 2u);
    EXPECT_EQ(envelope.at("success"), false);
    EXPECT_EQ(envelope.at("error").get<std::string>().rfind(kParsePrefix, 0), 0u);
    EXPECT_EQ(response.rfind(R"({"error":")", 0), 0u);
    expectOneLine(response);
  }
}

TEST(EnvelopeTest, StillAnswersWithValidJsonWhenTheInputIsNotUtf8) {
  const char* const kTexts[] = {
      "{\"a\":\"\xFF\"}",
      "\xC3",
      "\xFF",
      "{\"items\":[\xC3]}",
  };
  for (const char* text : kTexts) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    const std::string response = solve(text);
    json envelope;
    ASSERT_NO_THROW(envelope = json::parse(response)) << response;
    ASSERT_TRUE(envelope.is_object());
    EXPECT_EQ(envelope.size(), 2u);
    EXPECT_EQ(envelope.at("success"), false);
    EXPECT_EQ(envelope.at("error").get<std::string>().rfind(kParsePrefix, 0), 0u);
    // The envelope itself dumps strictly: every invalid byte has been replaced.
    EXPECT_NO_THROW(envelope.dump(-1, ' ', false, json::error_handler_t::strict));
    expectOneLine(response);
  }
}

TEST(EnvelopeTest, ReleasingNullDoesNothing) {
  varbex_free(nullptr);
  char* response = varbex_solve("{}");
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(std::strlen(response), sizeof kEmptyResponse - 1);
  varbex_free(response);
}

}  // namespace
