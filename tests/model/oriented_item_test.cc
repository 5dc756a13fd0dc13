#include "model/oriented_item.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace varbex {
namespace {

ItemRef itemOf(double width, double length, double depth,
               RotationPolicy policy = RotationPolicy::BestFit) {
  return std::make_shared<ConcreteItem>("A", "A", width, length, depth, 0, policy);
}

OrientedItem orientedOf(double width, double length, double depth) {
  return OrientedItem(itemOf(width, length, depth), width, length, depth, "WLD");
}

struct Expected {
  const char* code;
  double width, length, depth;
};

TEST(OrientedItemTest, AllowsTheOrientationsOfEachPolicyInFixedOrder) {
  struct Case {
    const char* name;
    RotationPolicy policy;
    std::vector<Expected> orientations;
  };
  const Case kCases[] = {
      {"never", RotationPolicy::Never, {{"WLD", 2, 3, 4}}},
      {"keep_flat", RotationPolicy::KeepFlat, {{"WLD", 2, 3, 4}, {"LWD", 3, 2, 4}}},
      {"best_fit",
       RotationPolicy::BestFit,
       {{"WLD", 2, 3, 4},
        {"LWD", 3, 2, 4},
        {"WDL", 2, 4, 3},
        {"LDW", 3, 4, 2},
        {"DWL", 4, 2, 3},
        {"DLW", 4, 3, 2}}},
      {"unknown_value_as_best_fit",
       static_cast<RotationPolicy>(5),
       {{"WLD", 2, 3, 4},
        {"LWD", 3, 2, 4},
        {"WDL", 2, 4, 3},
        {"LDW", 3, 4, 2},
        {"DWL", 4, 2, 3},
        {"DLW", 4, 3, 2}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ItemRef item = itemOf(2, 3, 4, c.policy);
    const std::vector<OrientedItem> allowed = OrientedItem::allowedOrientations(item);
    ASSERT_EQ(allowed.size(), c.orientations.size());
    for (std::size_t i = 0; i < allowed.size(); ++i) {
      SCOPED_TRACE(c.orientations[i].code);
      EXPECT_EQ(allowed[i].orientation, c.orientations[i].code);
      EXPECT_EQ(allowed[i].width, c.orientations[i].width);
      EXPECT_EQ(allowed[i].length, c.orientations[i].length);
      EXPECT_EQ(allowed[i].depth, c.orientations[i].depth);
      EXPECT_EQ(allowed[i].item, item);  // shared, not copied
    }
  }
}

TEST(OrientedItemTest, KeepsEqualOrientationsOfACube) {
  const std::vector<OrientedItem> allowed = OrientedItem::allowedOrientations(itemOf(5, 5, 5));
  ASSERT_EQ(allowed.size(), 6u);
  for (const OrientedItem& oriented : allowed) {
    SCOPED_TRACE(oriented.orientation);
    EXPECT_EQ(oriented.width, 5);
    EXPECT_EQ(oriented.length, 5);
    EXPECT_EQ(oriented.depth, 5);
  }
}

TEST(OrientedItemTest, CountsEveryCodeButWldAsRotated) {
  const ItemRef item = itemOf(2, 3, 4);
  for (const OrientedItem& oriented : OrientedItem::allowedOrientations(item)) {
    SCOPED_TRACE(oriented.orientation);
    EXPECT_EQ(oriented.isRotated(), oriented.orientation != "WLD");
  }
}

TEST(OrientedItemTest, JudgesStabilityByTheNarrowSideAgainstTheHeight) {
  // The largest ratio whose correctly rounded atan is not above 0.261.
  const double boundary = 0x1.1180b898f582cp-2;
  const double justAbove = std::nextafter(boundary, 1.0);
  const double justBelow = std::nextafter(boundary, 0.0);
#ifdef __GLIBC__
  // The answers made with glibc's atan stay as they were.
  EXPECT_EQ(std::atan(boundary), 0.261);
  EXPECT_GT(std::atan(justAbove), 0.261);
#endif
  struct Case {
    const char* name;
    double width, length, depth;
    bool stable;
  };
  const Case kCases[] = {
      {"flat_item_without_height_divides_by_one", 2, 3, 0, true},
      {"narrow_item_without_height_still_tips", 0.2, 5, 0, false},
      {"narrow_item_without_height_at_length", 5, 0.2, 0, false},
      {"tall_column_tips", 1, 1, 4, false},
      {"shorter_column_stands", 1, 1, 3, true},
      {"narrow_width_decides", 0.2, 10, 1, false},
      {"narrow_length_decides", 10, 0.2, 1, false},
      {"angle_exactly_at_limit_tips", boundary, 10, 1, false},
      {"angle_just_above_limit_stands", justAbove, 10, 1, true},
      {"angle_just_below_limit_tips", justBelow, 10, 1, false},
      {"cube_stands", 1, 1, 1, true},
      {"unordered_ratio_tips", std::nan(""), 10, 1, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(orientedOf(c.width, c.length, c.depth).isStable(), c.stable);
  }
}

TEST(OrientedItemTest, ComparesShapeWithAnotherItemRegardlessOfOrientation) {
  struct Case {
    const char* name;
    double width, length, depth;
    ItemRef other;
    bool same;
  };
  const Case kCases[] = {
      {"turned_copy_of_another_item", 4, 2, 3, itemOf(2, 3, 4), true},
      {"one_side_off", 4, 2, 3.0001, itemOf(2, 3, 4), false},
      {"repeated_sides_differ", 2, 2, 3, itemOf(2, 3, 3), false},
      {"repeated_sides_turned", 3, 2, 2, itemOf(2, 3, 2), true},
      {"nan_side", std::nan(""), 1, 1, itemOf(std::nan(""), 1, 1), false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(orientedOf(c.width, c.length, c.depth).hasSameShape(c.other), c.same);
  }
}

TEST(OrientedItemTest, MatchesItsOwnItemWhateverItsExtents) {
  const ItemRef item = itemOf(2, 3, 4);
  EXPECT_TRUE(OrientedItem(item, 1, 1, 1, "WLD").hasSameShape(item));
  const ItemRef odd = itemOf(std::nan(""), 3, 4);
  EXPECT_TRUE(OrientedItem(odd, std::nan(""), 3, 4, "WLD").hasSameShape(odd));
}

TEST(OrientedItemTest, OrientationCodeReadsAndComparesAsText) {
  const OrientationCode code = "LWD";
  EXPECT_EQ(code, "LWD");
  EXPECT_NE(code, "LW");
  EXPECT_EQ(code.size(), 3u);
  EXPECT_EQ(code.str(), std::string("LWD"));
  EXPECT_EQ(std::string(code), "LWD");
  EXPECT_EQ(OrientationCode(std::string("DWL")), OrientationCode("DWL"));
  EXPECT_EQ(OrientationCode().size(), 0u);
  EXPECT_STREQ(OrientationCode().c_str(), "");
  OrientationCode turned = code;
  std::swap(turned[0], turned[1]);
  EXPECT_EQ(turned, "WLD");
  EXPECT_EQ(OrientationCode("ABCDEFGHIJ"), "ABCDEFG");  // held to seven letters
}

}  // namespace
}  // namespace varbex
