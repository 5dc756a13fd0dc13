#include "model/item.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace varbex {
namespace {

ConcreteItem itemOf(double width, double length, double depth, double weight = 0,
                    RotationPolicy policy = RotationPolicy::BestFit, std::string code = "A",
                    std::string reference = "A") {
  return ConcreteItem(std::move(code), std::move(reference), width, length, depth, weight, policy);
}

TEST(ItemTest, MultipliesVolumeWidthByLengthFirst) {
  EXPECT_EQ(itemOf(2, 3, 4).volume(), 24);
  EXPECT_EQ(itemOf(2, 0, 4).volume(), 0);
  EXPECT_EQ(itemOf(-2, 3, 4).volume(), -24);
  // (0.1 * 0.2) * 0.3 and 0.1 * (0.2 * 0.3) differ in the last bit; only the first is right.
  EXPECT_EQ(itemOf(0.1, 0.2, 0.3).volume(), 0.006000000000000001);
}

TEST(ItemTest, WritesJsonFormWithMembersInKeyOrder) {
  struct Case {
    const char* name;
    std::shared_ptr<const Item> item;
    const char* json;
  };
  const Case kCases[] = {
      {"ungrouped_best_fit", std::make_shared<ConcreteItem>(itemOf(5, 4, 2, 3)),
       R"({"AllowedRotation":"BestFit","BoxGroup":null,"Depth":2.0,"ItemCode":"A",)"
       R"("ItemReference":"A","Length":4.0,"Volume":40.0,"Weight":3.0,"Width":5.0})"},
      {"grouped", std::make_shared<ConcreteLinkedItem>(itemOf(5, 4, 2, 3), "A"),
       R"({"AllowedRotation":"BestFit","BoxGroup":"A","Depth":2.0,"ItemCode":"A",)"
       R"("ItemReference":"A","Length":4.0,"Volume":40.0,"Weight":3.0,"Width":5.0})"},
      {"never_with_own_reference",
       std::make_shared<ConcreteItem>(itemOf(1.5, 2, 3, 0, RotationPolicy::Never, "C7", "Ref 7")),
       R"({"AllowedRotation":"Never","BoxGroup":null,"Depth":3.0,"ItemCode":"C7",)"
       R"("ItemReference":"Ref 7","Length":2.0,"Volume":9.0,"Weight":0.0,"Width":1.5})"},
      {"keep_flat_grouped",
       std::make_shared<ConcreteLinkedItem>(itemOf(1, 1, 1, 0.25, RotationPolicy::KeepFlat), "g"),
       R"({"AllowedRotation":"KeepFlat","BoxGroup":"g","Depth":1.0,"ItemCode":"A",)"
       R"("ItemReference":"A","Length":1.0,"Volume":1.0,"Weight":0.25,"Width":1.0})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.item->toJson().dump(), c.json);
  }
}

TEST(ItemTest, LinkedItemAnswersAsTheItemItHolds) {
  const ConcreteItem plain = itemOf(2, 3, 4, 7, RotationPolicy::KeepFlat, "Code", "Ref");
  const ConcreteLinkedItem linked(plain, "G");
  EXPECT_EQ(linked.itemCode(), "Code");
  EXPECT_EQ(linked.itemReference(), "Ref");
  EXPECT_EQ(linked.width(), 2);
  EXPECT_EQ(linked.length(), 3);
  EXPECT_EQ(linked.depth(), 4);
  EXPECT_EQ(linked.weight(), 7);
  EXPECT_EQ(linked.rotationPolicy(), RotationPolicy::KeepFlat);
  EXPECT_EQ(linked.volume(), plain.volume());
  EXPECT_EQ(linked.boxGroup(), "G");
}

TEST(ItemTest, TellsGroupedItemsByType) {
  const ConcreteItem plain = itemOf(1, 1, 1);
  const ConcreteLinkedItem linked(itemOf(1, 1, 1), "G");
  EXPECT_EQ(boxGroupOf(plain), nullptr);
  ASSERT_NE(boxGroupOf(linked), nullptr);
  EXPECT_EQ(*boxGroupOf(linked), "G");
}

TEST(ItemTest, RefusesLinkedItemWithEmptyGroup) {
  try {
    ConcreteLinkedItem linked(itemOf(1, 1, 1), "");
    FAIL() << "an empty box group was accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "ConcreteLinkedItem requires a non-empty box group");
  }
}

TEST(ItemTest, ComparesShapesOfTwoItemsRegardlessOfOrientation) {
  struct Case {
    const char* name;
    ConcreteItem a, b;
    bool same;
  };
  const Case kCases[] = {
      {"turned", itemOf(2, 3, 4), itemOf(4, 2, 3), true},
      {"equal", itemOf(2, 3, 4), itemOf(2, 3, 4), true},
      {"one_side_off", itemOf(2, 3, 4), itemOf(4, 2, 3.0001), false},
      {"repeated_sides_differ", itemOf(2, 2, 3), itemOf(2, 3, 3), false},
      {"repeated_sides_turned", itemOf(3, 2, 2), itemOf(2, 3, 2), true},
      {"nan_never_equal", itemOf(std::nan(""), 1, 1), itemOf(std::nan(""), 1, 1), false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(haveSameShape(c.a, c.b), c.same);
    EXPECT_EQ(haveSameShape(c.b, c.a), c.same);
  }
  // The very same object always matches itself, even with a NaN side.
  const ConcreteItem odd = itemOf(std::nan(""), 1, 1);
  EXPECT_TRUE(haveSameShape(odd, odd));
}

// An item of a class of its own, as a caller's extension might make: it is read through its
// virtual functions, whose answers here differ from any stored value.
class ComputedItem final : public Item {
 public:
  const std::string& itemCode() const override { return code_; }
  const std::string& itemReference() const override { return code_; }
  double width() const override { return 5; }
  double length() const override { return 1; }
  double depth() const override { return 3; }
  double weight() const override { return 9; }
  RotationPolicy rotationPolicy() const override { return RotationPolicy::Never; }

 private:
  std::string code_ = "C";
};

TEST(ItemTest, ReadsEveryKindOfItemAsItsVirtualFunctionsAnswer) {
  const ConcreteItem plain = itemOf(2, 3, 4, 7, RotationPolicy::KeepFlat);
  const ConcreteLinkedItem linked(itemOf(6, 2, 8, 1.5, RotationPolicy::Never), "G");
  const ComputedItem computed;
  const Item* const kItems[] = {&plain, &linked, &computed};
  for (const Item* item : kItems) {
    SCOPED_TRACE(item->width());
    EXPECT_EQ(shapeOf(*item), item->shape());
    EXPECT_EQ(weightOf(*item), item->weight());
    const auto read = withItemData(*item, [](const auto& i) {
      return std::make_tuple(i.width(), i.length(), i.depth(), i.rotationPolicy());
    });
    EXPECT_EQ(read, std::make_tuple(item->width(), item->length(), item->depth(),
                                    item->rotationPolicy()));
  }
  EXPECT_EQ(asConcreteItem(plain), &plain);
  EXPECT_NE(asConcreteItem(linked), nullptr);
  EXPECT_EQ(asConcreteItem(computed), nullptr);
}

}  // namespace
}  // namespace varbex
