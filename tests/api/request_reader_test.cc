#include "api/request_reader.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace varbex {
namespace {

using nlohmann::json;

// The message of whatever readRequest throws, or "" when it reads the text.
std::string failureOf(const std::string& text) {
  try {
    readRequest(json::parse(text));
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::vector<std::string> codesOf(const ItemPool& pool) {
  std::vector<std::string> codes;
  for (const ItemRef& item : pool.entries()) codes.push_back(item->itemCode());
  return codes;
}

std::vector<std::string> referencesOf(const BoxPool& pool) {
  std::vector<std::string> references;
  for (const BoxRef& box : pool.entries()) references.push_back(box->reference());
  return references;
}

TEST(RequestReaderTest, ReadsAnythingButAnObjectWithListsAsAnEmptyRequest) {
  const char* const kTexts[] = {"{}",   "[]",   "null", "42",   "\"items\"",
                                "true", "{\"items\":null,\"boxes\":null}",
                                "{\"other\":[1,2]}", "{\"items\":[],\"boxes\":{}}",
                                "[{\"items\":[{}]}]"};
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    const PackingRequest request = readRequest(json::parse(text));
    EXPECT_TRUE(request.items.isEmpty());
    EXPECT_TRUE(request.boxes.isEmpty());
  }
}

TEST(RequestReaderTest, GivesAnItemItsDefaults) {
  const ItemRef item = readItem(json::parse(R"({"ItemCode":"A","Width":5,"Length":4,"Depth":2})"));
  EXPECT_EQ(item->itemCode(), "A");
  EXPECT_EQ(item->itemReference(), "A");
  EXPECT_EQ(item->width(), 5);
  EXPECT_EQ(item->length(), 4);
  EXPECT_EQ(item->depth(), 2);
  EXPECT_EQ(item->weight(), 0);
  EXPECT_EQ(item->rotationPolicy(), RotationPolicy::BestFit);
  EXPECT_EQ(boxGroupOf(*item), nullptr);
}

TEST(RequestReaderTest, TakesNullOptionalItemMembersAsMissing) {
  const ItemRef item = readItem(json::parse(
      R"({"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":null,"AllowedRotation":null,)"
      R"("ItemReference":null,"BoxGroup":null})"));
  EXPECT_EQ(item->itemReference(), "A");
  EXPECT_EQ(item->weight(), 0);
  EXPECT_EQ(item->rotationPolicy(), RotationPolicy::BestFit);
  EXPECT_EQ(boxGroupOf(*item), nullptr);
}

TEST(RequestReaderTest, ReadsEveryItemMember) {
  const ItemRef item = readItem(json::parse(
      R"({"ItemCode":"A","ItemReference":"R","Width":1.5,"Length":-4,"Depth":0,"Weight":7,)"
      R"("AllowedRotation":"KEEP_FLAT","BoxGroup":"G","Unused":[1]})"));
  EXPECT_EQ(item->itemCode(), "A");
  EXPECT_EQ(item->itemReference(), "R");
  EXPECT_EQ(item->width(), 1.5);
  EXPECT_EQ(item->length(), -4);
  EXPECT_EQ(item->depth(), 0);
  EXPECT_EQ(item->weight(), 7);
  EXPECT_EQ(item->rotationPolicy(), RotationPolicy::KeepFlat);
  ASSERT_NE(boxGroupOf(*item), nullptr);
  EXPECT_EQ(*boxGroupOf(*item), "G");
}

TEST(RequestReaderTest, MakesAGroupedItemOnlyForANonEmptyGroup) {
  struct Case {
    const char* group;
    const char* expected;  // null: ungrouped
  };
  const Case kCases[] = {{R"("")", nullptr}, {"null", nullptr}, {R"("G")", "G"}, {R"(" ")", " "}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.group);
    const ItemRef item = readItem(json::parse(
        std::string(R"({"ItemCode":"A","Width":1,"Length":1,"Depth":1,"BoxGroup":)") + c.group +
        "}"));
    const std::string* group = boxGroupOf(*item);
    if (c.expected == nullptr) {
      EXPECT_EQ(group, nullptr);
    } else {
      ASSERT_NE(group, nullptr);
      EXPECT_EQ(*group, c.expected);
    }
  }
}

TEST(RequestReaderTest, ReadsTheRotationPolicyText) {
  struct Case {
    const char* text;
    RotationPolicy policy;
  };
  const Case kCases[] = {{"never", RotationPolicy::Never},
                         {"NEVER", RotationPolicy::Never},
                         {"KEEP_FLAT", RotationPolicy::KeepFlat},
                         {"keepflat", RotationPolicy::KeepFlat},
                         {"BestFit", RotationPolicy::BestFit},
                         {"sideways", RotationPolicy::BestFit},
                         {"", RotationPolicy::BestFit}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    json value = json::parse(R"({"ItemCode":"A","Width":1,"Length":1,"Depth":1})");
    value["AllowedRotation"] = c.text;
    EXPECT_EQ(readItem(value)->rotationPolicy(), c.policy);
  }
}

TEST(RequestReaderTest, GivesABoxItsDefaults) {
  const BoxRef box =
      readBox(json::parse(R"({"Reference":"B","MaxWeight":10,"Width":1,"Length":2,"Depth":3})"));
  EXPECT_EQ(box->reference(), "B");
  EXPECT_EQ(box->width(), 1);
  EXPECT_EQ(box->length(), 2);
  EXPECT_EQ(box->depth(), 3);
  EXPECT_EQ(box->maxWeight(), 10);
  EXPECT_EQ(box->emptyWeight(), 0);
  EXPECT_TRUE(box->isActive());
  EXPECT_EQ(asLimitedSupply(*box), nullptr);
}

TEST(RequestReaderTest, TakesNullOptionalBoxMembersAsMissing) {
  const BoxRef box = readBox(json::parse(
      R"({"Reference":"B","MaxWeight":10,"Width":1,"Length":2,"Depth":3,"Active":null,)"
      R"("BoxWeight":null,"MaximumBoxes":null})"));
  EXPECT_EQ(box->emptyWeight(), 0);
  EXPECT_TRUE(box->isActive());
  EXPECT_EQ(asLimitedSupply(*box), nullptr);
}

TEST(RequestReaderTest, ReadsEveryBoxMember) {
  const BoxRef box = readBox(json::parse(
      R"({"Reference":"B","MaxWeight":-1,"Width":0,"Length":-2,"Depth":3.25,"Active":false,)"
      R"("BoxWeight":4,"MaximumBoxes":6})"));
  EXPECT_EQ(box->reference(), "B");
  EXPECT_EQ(box->width(), 0);
  EXPECT_EQ(box->length(), -2);
  EXPECT_EQ(box->depth(), 3.25);
  EXPECT_EQ(box->maxWeight(), -1);
  EXPECT_FALSE(box->hasMaxWeight());
  EXPECT_EQ(box->emptyWeight(), 4);
  EXPECT_FALSE(box->isActive());
  ASSERT_NE(asLimitedSupply(*box), nullptr);
  EXPECT_EQ(asLimitedSupply(*box)->maximumBoxes(), 6);
}

TEST(RequestReaderTest, ConvertsMaximumBoxesToA32BitCount) {
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  struct Case {
    const char* value;
    std::int32_t count;
  };
  const Case kCases[] = {
      {"3", 3},
      {"0", 0},
      {"-1", -1},
      {"2.9", 2},   // truncated toward zero
      {"-2.9", -2},
      {"true", 1},
      {"false", 0},
      {"2147483647", kMax},
      {"-2147483648", kMin},
      // Integers are cut to 32 bits.
      {"4294967297", 1},
      {"3000000000", -1294967296},
      // Reals beyond the range are clamped to it rather than converted with undefined results.
      {"1e20", kMax},
      {"-1e20", kMin},
      {"2147483648.0", kMax},
      {"-2147483649.0", kMin},
      {"2147483646.5", 2147483646},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.value);
    const BoxRef box = readBox(json::parse(
        std::string(R"({"Reference":"B","MaxWeight":1,"Width":1,"Length":1,"Depth":1,)"
                    R"("MaximumBoxes":)") +
        c.value + "}"));
    const LimitedSupplyBox* limited = asLimitedSupply(*box);
    ASSERT_NE(limited, nullptr);
    EXPECT_EQ(limited->maximumBoxes(), c.count);
  }
}

TEST(RequestReaderTest, KeepsItemsAndBoxesInDocumentOrder) {
  const PackingRequest request = readRequest(json::parse(R"({
    "boxes": [
      {"Reference": "large", "MaxWeight": 1, "Width": 9, "Length": 9, "Depth": 9},
      {"Reference": "off", "MaxWeight": 1, "Width": 1, "Length": 1, "Depth": 1, "Active": false},
      {"Reference": "small", "MaxWeight": 1, "Width": 1, "Length": 1, "Depth": 1}
    ],
    "items": [
      {"ItemCode": "S", "Width": 1, "Length": 1, "Depth": 1},
      {"ItemCode": "L", "Width": 5, "Length": 5, "Depth": 5},
      {"ItemCode": "S", "Width": 1, "Length": 1, "Depth": 1}
    ]})"));
  // Duplicate codes are two items; inactive box types stay in the pool.
  EXPECT_EQ(codesOf(request.items), (std::vector<std::string>{"S", "L", "S"}));
  EXPECT_NE(request.items.entries()[0], request.items.entries()[2]);
  EXPECT_EQ(referencesOf(request.boxes), (std::vector<std::string>{"large", "off", "small"}));
}

TEST(RequestReaderTest, SortsWithFreshDefaultSorters) {
  const PackingRequest request = readRequest(json::parse(R"({
    "boxes": [
      {"Reference": "large", "MaxWeight": 1, "Width": 9, "Length": 9, "Depth": 9},
      {"Reference": "small", "MaxWeight": 1, "Width": 1, "Length": 1, "Depth": 1}
    ],
    "items": [
      {"ItemCode": "S", "Width": 1, "Length": 1, "Depth": 1},
      {"ItemCode": "G", "Width": 9, "Length": 9, "Depth": 9, "BoxGroup": "g"},
      {"ItemCode": "L", "Width": 5, "Length": 5, "Depth": 5}
    ]})"));
  ASSERT_NE(dynamic_cast<const DefaultItemSorter*>(request.items.sorter().get()), nullptr);
  ASSERT_NE(dynamic_cast<const DefaultBoxSorter*>(request.boxes.sorter().get()), nullptr);
  std::vector<std::string> itemOrder;
  for (const ItemRef& item : request.items.sorted()) itemOrder.push_back(item->itemCode());
  EXPECT_EQ(itemOrder, (std::vector<std::string>{"L", "S", "G"}));
  EXPECT_EQ(request.boxes.sorted()[0]->reference(), "small");
}

TEST(RequestReaderTest, WalksAnObjectOfItemsInKeyOrder) {
  const PackingRequest request = readRequest(json::parse(R"({"items": {
      "b": {"ItemCode": "second", "Width": 1, "Length": 1, "Depth": 1},
      "a": {"ItemCode": "first", "Width": 1, "Length": 1, "Depth": 1},
      "c": {"ItemCode": "third", "Width": 1, "Length": 1, "Depth": 1}}})"));
  EXPECT_EQ(codesOf(request.items), (std::vector<std::string>{"first", "second", "third"}));
}

TEST(RequestReaderTest, WalksAnObjectOfBoxesInKeyOrder) {
  const PackingRequest request = readRequest(json::parse(R"({"boxes": {
      "2": {"Reference": "two", "MaxWeight": 1, "Width": 1, "Length": 1, "Depth": 1},
      "1": {"Reference": "one", "MaxWeight": 1, "Width": 1, "Length": 1, "Depth": 1}}})"));
  EXPECT_EQ(referencesOf(request.boxes), (std::vector<std::string>{"one", "two"}));
}

TEST(RequestReaderTest, ReadsAScalarListAsOneFaultyEntry) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case kCases[] = {
      {R"({"items":5})", "item is missing required field 'ItemCode'"},
      {R"({"items":"A"})", "item is missing required field 'ItemCode'"},
      {R"({"items":true})", "item is missing required field 'ItemCode'"},
      {R"({"boxes":"x"})", "box is missing required field 'Reference'"},
      {R"({"boxes":0})", "box is missing required field 'Reference'"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(failureOf(c.text), c.message);
  }
}

TEST(RequestReaderTest, RaisesInvalidArgumentForMissingRequiredFields) {
  EXPECT_THROW(readItem(json::parse("[]")), std::invalid_argument);
  EXPECT_THROW(readItem(json::parse(R"({"Width":1})")), std::invalid_argument);
  EXPECT_THROW(readBox(json::parse("null")), std::invalid_argument);
  EXPECT_THROW(readBox(json::parse(R"({"Reference":"B"})")), std::invalid_argument);
  EXPECT_THROW(readBox(json::parse(R"({"Reference":"B","MaxWeight":null})")),
               std::invalid_argument);
}

TEST(RequestReaderTest, PassesTheJsonLibrarysErrorsOn) {
  EXPECT_THROW(readItem(json::parse(R"({"ItemCode":"A","Width":1,"Length":1})")),
               json::out_of_range);
  EXPECT_THROW(readItem(json::parse(R"({"ItemCode":1})")), json::type_error);
  EXPECT_THROW(readBox(json::parse(R"({"Reference":7})")), json::type_error);
  EXPECT_THROW(
      readBox(json::parse(
          R"({"Reference":"B","MaxWeight":1,"Width":1,"Length":1,"Depth":1,"MaximumBoxes":"3"})")),
      json::type_error);
}

TEST(RequestReaderTest, ReportsTheFirstFaultyItemBeforeAnyBox) {
  EXPECT_EQ(failureOf(R"({"boxes":[{}],)"
                      R"("items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1},{}]})"),
            "item is missing required field 'ItemCode'");
}

TEST(RequestReaderTest, ReadsBackTheJsonFormOfABoxWithAMaximumWeight) {
  const std::shared_ptr<const Box> kBoxes[] = {
      std::make_shared<ConcreteBox>("B1", 2, 3, 4, 50, 10, false),
      std::make_shared<ConcreteLimitedSupplyBox>(ConcreteBox("B2", 0.5, 1, 2, 0, 3, true), 7),
  };
  for (const auto& original : kBoxes) {
    SCOPED_TRACE(original->reference());
    const BoxRef copy = readBox(original->toJson());
    EXPECT_EQ(copy->toJson(), original->toJson());
    EXPECT_EQ(asLimitedSupply(*copy) != nullptr, asLimitedSupply(*original) != nullptr);
  }
}

TEST(RequestReaderTest, RefusesTheJsonFormOfABoxWithoutAMaximumWeight) {
  json request;
  request["boxes"] = json::array({WorkingVolume(1, 2, 3).toJson()});
  EXPECT_EQ(failureOf(request.dump()),
            "box 'Working Volume 1.000000x2.000000x3.000000' is missing required field "
            "'MaxWeight'");
}

TEST(RequestReaderTest, ReadsBackTheJsonFormOfAnItem) {
  const std::shared_ptr<const Item> kItems[] = {
      std::make_shared<ConcreteItem>("A", "R", 5, 4, 2, 3, RotationPolicy::Never),
      std::make_shared<ConcreteLinkedItem>(
          ConcreteItem("B", "B", 1, 2, 3, 0, RotationPolicy::KeepFlat), "G"),
  };
  for (const auto& original : kItems) {
    SCOPED_TRACE(original->itemCode());
    const ItemRef copy = readItem(original->toJson());
    EXPECT_EQ(copy->toJson(), original->toJson());
  }
}

}  // namespace
}  // namespace varbex
