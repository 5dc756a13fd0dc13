#include "model/box.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace varbex {
namespace {

ConcreteBox boxOf(double width, double length, double depth, double maxWeight = -1,
                  double emptyWeight = 0, bool active = true, std::string reference = "B") {
  return ConcreteBox(std::move(reference), width, length, depth, maxWeight, emptyWeight, active);
}

TEST(BoxTest, AnswersWeightLimitAndPayloadFromMaxAndEmptyWeight) {
  struct Case {
    const char* name;
    double maxWeight;
    double emptyWeight;
    bool hasMaxWeight;
    double payloadCapacity;
  };
  const Case kCases[] = {
      {"no_maximum", -1, 0, false, -1},
      {"no_maximum_with_empty_weight", -1, 5, false, -1},
      {"any_negative_means_no_maximum", -0.5, 0, false, -1},
      {"zero_maximum_is_a_maximum", 0, 0, true, 0},
      {"empty_box_heavier_than_maximum", 10, 12, true, 0},
      {"room_left_for_contents", 10, 2, true, 8},
      {"empty_weight_equal_to_maximum", 10, 10, true, 0},
      {"nan_maximum_is_no_maximum", std::nan(""), 3, false, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ConcreteBox box = boxOf(1, 1, 1, c.maxWeight, c.emptyWeight);
    EXPECT_EQ(box.hasMaxWeight(), c.hasMaxWeight);
    EXPECT_EQ(box.payloadCapacity(), c.payloadCapacity);
  }
}

TEST(BoxTest, MultipliesInnerVolumeWidthByLengthFirst) {
  EXPECT_EQ(boxOf(2, 3, 4).innerVolume(), 24);
  EXPECT_EQ(boxOf(0, 3, 4).innerVolume(), 0);
  EXPECT_EQ(boxOf(2, 3, 0).innerVolume(), 0);
  // (0.1 * 0.2) * 0.3 and 0.1 * (0.2 * 0.3) differ in the last bit; only the first is right.
  EXPECT_EQ(boxOf(0.1, 0.2, 0.3).innerVolume(), 0.006000000000000001);
}

TEST(BoxTest, NamesWorkingVolumeByItsExtentsWithSixDecimals) {
  struct Case {
    double width, length, depth;
    const char* reference;
  };
  const Case kCases[] = {
      {1, 2, 3, "Working Volume 1.000000x2.000000x3.000000"},
      {10, 20.5, 3, "Working Volume 10.000000x20.500000x3.000000"},
      {0.1234567, -1.5, 0, "Working Volume 0.123457x-1.500000x0.000000"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.reference);
    EXPECT_EQ(WorkingVolume(c.width, c.length, c.depth).reference(), c.reference);
  }
}

TEST(BoxTest, WorkingVolumeIsWeightlessUnlimitedAndActive) {
  const WorkingVolume volume(1, 2, 3);
  EXPECT_EQ(volume.width(), 1);
  EXPECT_EQ(volume.length(), 2);
  EXPECT_EQ(volume.depth(), 3);
  EXPECT_EQ(volume.emptyWeight(), 0);
  EXPECT_EQ(volume.maxWeight(), -1);
  EXPECT_FALSE(volume.hasMaxWeight());
  EXPECT_EQ(volume.payloadCapacity(), -1);
  EXPECT_TRUE(volume.isActive());
  EXPECT_EQ(volume.innerVolume(), 6);
  EXPECT_EQ(asLimitedSupply(volume), nullptr);
}

TEST(BoxTest, NamesAHugeWorkingVolumeInFull) {
  // "%f" of the largest double needs 309 digits before the point.
  const double huge = std::numeric_limits<double>::max();
  const std::string reference = WorkingVolume(huge, 1, 1).reference();
  EXPECT_EQ(reference.size(), std::string("Working Volume ").size() + 309 + 7 + 18);
  EXPECT_EQ(reference.substr(0, 20), "Working Volume 17976");
  EXPECT_EQ(reference.substr(reference.size() - 25), ".000000x1.000000x1.000000");
}

TEST(BoxTest, LimitedSupplyBoxAnswersAsTheBoxItHolds) {
  const ConcreteBox plain = boxOf(2, 3, 4, 50, 10, false, "Crate");
  const ConcreteLimitedSupplyBox limited(plain, 3);
  EXPECT_EQ(limited.reference(), plain.reference());
  EXPECT_EQ(limited.width(), plain.width());
  EXPECT_EQ(limited.length(), plain.length());
  EXPECT_EQ(limited.depth(), plain.depth());
  EXPECT_EQ(limited.emptyWeight(), plain.emptyWeight());
  EXPECT_EQ(limited.maxWeight(), plain.maxWeight());
  EXPECT_EQ(limited.isActive(), plain.isActive());
  EXPECT_EQ(limited.hasMaxWeight(), true);
  EXPECT_EQ(limited.innerVolume(), 24);
  EXPECT_EQ(limited.payloadCapacity(), 40);
  EXPECT_EQ(limited.maximumBoxes(), 3);
}

TEST(BoxTest, TellsLimitedSupplyByType) {
  const ConcreteBox plain = boxOf(1, 1, 1);
  const ConcreteLimitedSupplyBox limited(boxOf(1, 1, 1), 0);
  EXPECT_EQ(asLimitedSupply(plain), nullptr);
  ASSERT_NE(asLimitedSupply(limited), nullptr);
  EXPECT_EQ(asLimitedSupply(limited)->maximumBoxes(), 0);
}

TEST(BoxTest, WritesJsonFormWithMembersInKeyOrder) {
  struct Case {
    const char* name;
    std::shared_ptr<const Box> box;
    const char* json;
  };
  const Case kCases[] = {
      {"concrete_with_maximum", std::make_shared<ConcreteBox>(boxOf(2, 3, 4, 50, 10, true, "B1")),
       R"({"Active":true,"BoxWeight":10.0,"Depth":4.0,"InnerVolume":24.0,"Length":3.0,)"
       R"("MaxWeight":50.0,"MaximumBoxes":null,"Reference":"B1","Width":2.0})"},
      {"concrete_without_maximum",
       std::make_shared<ConcreteBox>(boxOf(2, 3, 4, -1, 0.5, false, "B2")),
       R"({"Active":false,"BoxWeight":0.5,"Depth":4.0,"InnerVolume":24.0,"Length":3.0,)"
       R"("MaxWeight":null,"MaximumBoxes":null,"Reference":"B2","Width":2.0})"},
      {"concrete_zero_maximum", std::make_shared<ConcreteBox>(boxOf(1, 1, 1, 0, 0, true, "Z")),
       R"({"Active":true,"BoxWeight":0.0,"Depth":1.0,"InnerVolume":1.0,"Length":1.0,)"
       R"("MaxWeight":0.0,"MaximumBoxes":null,"Reference":"Z","Width":1.0})"},
      {"limited_supply",
       std::make_shared<ConcreteLimitedSupplyBox>(boxOf(2, 3, 4, 50, 10, true, "B1"), 3),
       R"({"Active":true,"BoxWeight":10.0,"Depth":4.0,"InnerVolume":24.0,"Length":3.0,)"
       R"("MaxWeight":50.0,"MaximumBoxes":3,"Reference":"B1","Width":2.0})"},
      {"limited_supply_negative_count",
       std::make_shared<ConcreteLimitedSupplyBox>(boxOf(1, 2, 0.25, -1, 0, true, "N"), -2),
       R"({"Active":true,"BoxWeight":0.0,"Depth":0.25,"InnerVolume":0.5,"Length":2.0,)"
       R"("MaxWeight":null,"MaximumBoxes":-2,"Reference":"N","Width":1.0})"},
      {"working_volume", std::make_shared<WorkingVolume>(1, 2, 3),
       R"({"Active":true,"BoxWeight":0.0,"Depth":3.0,"InnerVolume":6.0,"Length":2.0,)"
       R"("MaxWeight":null,"MaximumBoxes":null,)"
       R"("Reference":"Working Volume 1.000000x2.000000x3.000000","Width":1.0})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.box->toJson().dump(), c.json);
  }
}

}  // namespace
}  // namespace varbex
