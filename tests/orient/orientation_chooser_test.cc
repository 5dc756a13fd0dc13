#include "orient/orientation_chooser.h"

#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/box.h"
#include "model/item.h"
#include "model/oriented_item.h"
#include "orient/orientation_chooser_shortcuts.h"
#include "orient/orientation_ranking.h"

namespace varbex {
namespace {

ItemRef itemOf(double w, double l, double d, RotationPolicy policy = RotationPolicy::BestFit) {
  return std::make_shared<ConcreteItem>("I", "I", w, l, d, 1.0, policy);
}

BoxRef boxOf(double w, double l, double d) {
  return std::make_shared<ConcreteBox>("B", w, l, d, -1.0, 0.0, true);
}

struct Shape {
  const char* code;
  double width, length, depth;
};

void expectShapes(const std::vector<OrientedItem>& got, const std::vector<Shape>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].orientation, want[i].code);
    EXPECT_EQ(got[i].width, want[i].width);
    EXPECT_EQ(got[i].length, want[i].length);
    EXPECT_EQ(got[i].depth, want[i].depth);
  }
}

std::optional<OrientedItem> chooseAlone(OrientationChooser& chooser, const ItemRef& item,
                                        double w, double l, double d, bool checkStability) {
  const ItemStack none;
  return chooser.chooseOrientation(item, nullptr, none, w, l, d, 0.0, checkStability);
}

TEST(OrientationChooserTest, ListsOnlyTheOrientationsThePolicyAllowsThatFit) {
  struct Case {
    const char* name;
    double w, l, d;
    RotationPolicy policy;
    double freeW, freeL, freeD;
    std::vector<Shape> want;
  };
  const Case cases[] = {
      {"never_does_not_turn_to_fit", 10, 20, 5, RotationPolicy::Never, 20, 10, 5, {}},
      {"keep_flat_turns_about_the_vertical", 10, 20, 5, RotationPolicy::KeepFlat, 20, 10, 5,
       {{"LWD", 20, 10, 5}}},
      {"exact_fit_is_a_fit", 4, 5, 6, RotationPolicy::Never, 4, 5, 6, {{"WLD", 4, 5, 6}}},
      {"short_by_a_hair_is_no_fit", 4, 5, 6, RotationPolicy::Never, 4, 5, 5.999999999, {}},
      {"cube_gives_one_candidate", 3, 3, 3, RotationPolicy::BestFit, 10, 10, 10,
       {{"WLD", 3, 3, 3}}},
      {"all_six_in_generation_order", 2, 3, 4, RotationPolicy::BestFit, 10, 10, 10,
       {{"WLD", 2, 3, 4},
        {"LWD", 3, 2, 4},
        {"WDL", 2, 4, 3},
        {"LDW", 3, 4, 2},
        {"DWL", 4, 2, 3},
        {"DLW", 4, 3, 2}}},
      {"first_of_equal_shapes_is_kept", 2, 2, 3, RotationPolicy::BestFit, 10, 10, 10,
       {{"WLD", 2, 2, 3}, {"WDL", 2, 3, 2}, {"DWL", 3, 2, 2}}},
      {"those_that_do_not_fit_are_left_out", 2, 3, 4, RotationPolicy::BestFit, 3, 3, 4,
       {{"WLD", 2, 3, 4}, {"LWD", 3, 2, 4}}},
      {"keep_flat_never_tips", 2, 3, 4, RotationPolicy::KeepFlat, 10, 10, 10,
       {{"WLD", 2, 3, 4}, {"LWD", 3, 2, 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const OrientationChooser chooser(boxOf(100, 100, 100));
    expectShapes(chooser.candidateOrientations(itemOf(c.w, c.l, c.d, c.policy), nullptr, c.freeW,
                                               c.freeL, c.freeD),
                 c.want);
  }
}

TEST(OrientationChooserTest, ChoosesNothingForNeverItemThatFitsOnlyTurned) {
  OrientationChooser chooser(boxOf(100, 100, 100));
  EXPECT_FALSE(chooseAlone(chooser, itemOf(10, 20, 5, RotationPolicy::Never), 20, 10, 5, true));
  const std::optional<OrientedItem> flat =
      chooseAlone(chooser, itemOf(10, 20, 5, RotationPolicy::KeepFlat), 20, 10, 5, true);
  ASSERT_TRUE(flat);
  EXPECT_EQ(flat->orientation, "LWD");
  EXPECT_EQ(flat->width, 20);
  EXPECT_EQ(flat->length, 10);
}

TEST(OrientationChooserTest, FollowerOfSameShapeIsOfferedThePreviousOrientationOnly) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const ItemRef first = itemOf(10, 12, 5);
  const OrientedItem previous(first, 12, 10, 5, "LWD");

  // 10 x 12 x 5 would fit 11 of width, but only the 12 x 10 x 5 of the row is offered.
  EXPECT_TRUE(chooser.candidateOrientations(itemOf(10, 12, 5), &previous, 11, 100, 100).empty());

  const ItemRef follower = itemOf(10, 12, 5);
  const std::vector<OrientedItem> offered =
      chooser.candidateOrientations(follower, &previous, 12, 100, 100);
  expectShapes(offered, {{"LWD", 12, 10, 5}});
  EXPECT_EQ(offered[0].item, follower);
}

TEST(OrientationChooserTest, FollowerTakesThePreviousExtentsUnderItsOwnCode) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const OrientedItem previous(itemOf(10, 12, 5), 12, 10, 5, "LWD");
  struct Case {
    const char* name;
    ItemRef follower;
    Shape want;
  };
  // Same sorted sides: the follower is offered the row's extents only, coded for its own sides;
  // a policy that forbids those extents gives the follower its own list instead.
  const Case cases[] = {
      {"same_sides_same_order", itemOf(10, 12, 5), {"LWD", 12, 10, 5}},
      {"stated_in_another_order", itemOf(12, 10, 5), {"WLD", 12, 10, 5}},
      {"standing_on_another_face", itemOf(5, 10, 12), {"DLW", 12, 10, 5}},
      {"never_policy", itemOf(10, 12, 5, RotationPolicy::Never), {"WLD", 10, 12, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectShapes(chooser.candidateOrientations(c.follower, &previous, 100, 100, 100), {c.want});
  }
}

TEST(OrientationChooserTest, FollowerOfAnotherShapeGetsItsOwnList) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const OrientedItem previous(itemOf(10, 12, 5), 12, 10, 5, "LWD");
  expectShapes(chooser.candidateOrientations(itemOf(10, 12, 5.5, RotationPolicy::KeepFlat),
                                             &previous, 100, 100, 100),
               {{"WLD", 10, 12, 5.5}, {"LWD", 12, 10, 5.5}});
}

TEST(OrientationChooserTest, StabilityCheckPicksALyingOrientationWhenOneFits) {
  OrientationChooser chooser(boxOf(10, 10, 10));
  const ItemRef post = itemOf(1, 1, 4);
  const std::vector<OrientedItem> stable = chooser.keepStable(
      post, chooser.candidateOrientations(post, nullptr, 10, 10, 10));
  expectShapes(stable, {{"WDL", 1, 4, 1}, {"DWL", 4, 1, 1}});

  // WDL and DWL tie in every ranking step, so the earlier one wins.
  const std::optional<OrientedItem> chosen = chooseAlone(chooser, post, 10, 10, 10, true);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->orientation, "WDL");
}

TEST(OrientationChooserTest, StabilityCheckOnStandingPost) {
  struct Case {
    const char* name;
    double boxW, boxL, boxD;
    double freeW, freeL, freeD;
    bool checkStability;
    const char* want;  // nullptr: nothing chosen
  };
  const Case cases[] = {
      // It could lie elsewhere in the box, so it does not stand here.
      {"stable_elsewhere_in_box", 10, 10, 10, 1, 1, 10, true, nullptr},
      // A box where it cannot lie down: standing is the only way in.
      {"no_stable_way_in_box", 1, 1, 10, 1, 1, 10, true, "WLD"},
      // Floor to lid, it cannot tip over.
      {"reaches_the_lid", 10, 10, 4, 1, 1, 4, true, "WLD"},
      {"without_the_check", 10, 10, 10, 1, 1, 10, false, "WLD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientationChooser chooser(boxOf(c.boxW, c.boxL, c.boxD));
    const std::optional<OrientedItem> chosen =
        chooseAlone(chooser, itemOf(1, 1, 4), c.freeW, c.freeL, c.freeD, c.checkStability);
    if (c.want == nullptr) {
      EXPECT_FALSE(chosen);
    } else {
      ASSERT_TRUE(chosen);
      EXPECT_EQ(chosen->orientation, c.want);
      EXPECT_EQ(chosen->depth, 4);
    }
  }
}

// The memo answers alike keyed by text (the plain chooser) and by values (with the shortcut).
template <typename Chooser>
class StableShapeMemoTest : public testing::Test {};
using Choosers = testing::Types<OrientationChooser, OrientationChooserWithShortcuts>;
TYPED_TEST_SUITE(StableShapeMemoTest, Choosers);

TYPED_TEST(StableShapeMemoTest, KeepStableOfNothingIsNothingAndAsksNoMemo) {
  TypeParam chooser(boxOf(10, 10, 10));
  EXPECT_TRUE(chooser.keepStable(itemOf(1, 1, 4), {}).empty());
  EXPECT_EQ(chooser.stableShapeCacheSize(), 0u);
}

TYPED_TEST(StableShapeMemoTest, KeepStableAsksTheMemoOnlyWhenAllAreUnstable) {
  TypeParam chooser(boxOf(10, 10, 10));
  const ItemRef post = itemOf(1, 1, 4);
  chooser.keepStable(post, chooser.candidateOrientations(post, nullptr, 10, 10, 10));
  EXPECT_EQ(chooser.stableShapeCacheSize(), 0u);
  chooser.keepStable(post, chooser.candidateOrientations(post, nullptr, 1, 1, 10));
  EXPECT_EQ(chooser.stableShapeCacheSize(), 1u);
}

TYPED_TEST(StableShapeMemoTest, StableShapeMemoIsAskedOnceAndKeyedToSixDecimals) {
  TypeParam chooser(boxOf(10, 10, 10));
  // 10 x 1 x 1 lies stably in the box; 10.0000001 x 1 x 1 fits it in no orientation at all, yet
  // both print as 10.000000 and share one entry: the first answer stands for both.
  EXPECT_TRUE(chooser.hasStableOrientation(itemOf(10, 1, 1)));
  EXPECT_EQ(chooser.stableShapeCacheSize(), 1u);
  EXPECT_TRUE(chooser.hasStableOrientation(itemOf(10, 1, 1)));
  EXPECT_EQ(chooser.stableShapeCacheSize(), 1u);
  EXPECT_TRUE(chooser.hasStableOrientation(itemOf(10.0000001, 1, 1)));
  EXPECT_EQ(chooser.stableShapeCacheSize(), 1u);

  TypeParam other(boxOf(10, 10, 10));
  EXPECT_FALSE(other.hasStableOrientation(itemOf(10.0000001, 1, 1)));
  EXPECT_FALSE(other.hasStableOrientation(itemOf(10, 1, 1)));
  EXPECT_EQ(other.stableShapeCacheSize(), 1u);
}

TYPED_TEST(StableShapeMemoTest, StableShapeMemoKeysOnStatedSidesAndPolicy) {
  TypeParam chooser(boxOf(10, 10, 10));
  chooser.hasStableOrientation(itemOf(10, 1, 1));
  struct Case {
    const char* name;
    ItemRef item;
    std::size_t sizeAfter;
  };
  const Case cases[] = {
      {"sixth_decimal_differs", itemOf(10.000001, 1, 1), 2},
      {"same_sides_in_another_order", itemOf(1, 10, 1), 3},
      {"same_sides_other_policy", itemOf(10, 1, 1, RotationPolicy::Never), 4},
      {"repeat_of_the_first", itemOf(10, 1, 1), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    chooser.hasStableOrientation(c.item);
    EXPECT_EQ(chooser.stableShapeCacheSize(), c.sizeAfter);
  }
}

TEST(OrientationChooserTest, StableShapeMemoIgnoresTheFloorToLidException) {
  // Standing 1 x 1 x 4 in a box of depth 4 is accepted by keepStable, but the memo only asks
  // isStable, and no orientation of the post passes that in a 1 x 1 x 4 box.
  OrientationChooser chooser(boxOf(1, 1, 4));
  EXPECT_FALSE(chooser.hasStableOrientation(itemOf(1, 1, 4)));
}

// The first candidate of a stable insertion sort by the ranking: what the choice must return.
std::optional<OrientedItem> firstOfSorted(OrientationChooser& chooser, const ItemRef& item,
                                          const ItemStack& next, double w, double l, double d) {
  std::vector<OrientedItem> candidates = chooser.candidateOrientations(item, nullptr, w, l, d);
  if (candidates.empty()) return std::nullopt;
  OrientationRanking ranking(chooser, true, w, l, d, next, 0.0);
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    for (std::size_t j = i; j > 0 && ranking.compare(candidates[j], candidates[j - 1]) < 0; --j) {
      std::swap(candidates[j], candidates[j - 1]);
    }
  }
  return candidates.front();
}

TEST(OrientationChooserTest, ChoosesTheFirstCandidateOfAStableSortByTheRanking) {
  // Sides from a short list, so that candidates often tie in some steps; every fifth case has
  // infinite sides or free extents, whose differences are not numbers and tie with everything.
  const double inf = std::numeric_limits<double>::infinity();
  const double finiteSides[] = {1, 2, 2.5, 3, 4, 6};
  const double anySides[] = {1, 2, 3, 4, inf};
  std::mt19937 random(1208);
  int chosen = 0;
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE(round);
    const bool odd = round % 5 == 0;
    const auto side = [&]() {
      return odd ? anySides[random() % 5] : finiteSides[random() % 6];
    };
    const double w = odd ? anySides[random() % 5] * 2 : 2 * side();
    const double l = 2 * side();
    const double d = 2 * side();
    const ItemRef item = itemOf(side(), side(), side());
    ItemStack next;
    for (int n = static_cast<int>(random() % 3); n > 0; --n) {
      next.push_back(itemOf(side(), side(), side()));
    }
    if (random() % 4 == 0) next.assign(2, item);  // copies follow: the grid step counts
    OrientationChooserWithShortcuts chooser(boxOf(12, 12, 12));
    chooser.setLookaheadDisabled(true);
    const std::optional<OrientedItem> want = firstOfSorted(chooser, item, next, w, l, d);
    const std::optional<OrientedItem> got =
        chooser.chooseOrientation(item, nullptr, next, w, l, d, 0.0, false);
    ASSERT_EQ(got.has_value(), want.has_value());
    if (!want) continue;
    ++chosen;
    EXPECT_EQ(got->orientation, want->orientation);
    EXPECT_EQ(got->width, want->width);
    EXPECT_EQ(got->length, want->length);
  }
  EXPECT_GT(chosen, 2000);
}

}  // namespace
}  // namespace varbex
