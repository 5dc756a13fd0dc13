#include "solver/box_chooser.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fill/volume_filler.h"
#include "model/item_sorter.h"
#include "model/packing_attempt.h"
#include "solver/work_budget.h"

namespace varbex {
namespace {

ItemRef itemOf(const std::string& code, double width, double length, double depth,
               double weight = 1) {
  return std::make_shared<ConcreteItem>(code, code, width, length, depth, weight,
                                        RotationPolicy::BestFit);
}

ItemRef cubeOf(const std::string& code, double side) { return itemOf(code, side, side, side); }

ItemRef linkedOf(const std::string& code, const std::string& group, double width, double length,
                 double depth) {
  return std::make_shared<ConcreteLinkedItem>(
      ConcreteItem(code, code, width, length, depth, 1, RotationPolicy::BestFit), group);
}

BoxRef boxOf(const std::string& reference, double width, double length, double depth) {
  return std::make_shared<ConcreteBox>(reference, width, length, depth, -1, 0, true);
}

BoxRef limitedBoxOf(const std::string& reference, double side, std::int32_t maximumBoxes) {
  return std::make_shared<ConcreteLimitedSupplyBox>(
      ConcreteBox(reference, side, side, side, -1, 0, true), maximumBoxes);
}

ItemPool poolOf(const std::vector<ItemRef>& items) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (const ItemRef& item : items) pool.add(item);
  return pool;
}

std::vector<std::string> referencesOf(const PackingAttempt& attempt) {
  std::vector<std::string> references;
  for (const FilledBox& box : attempt.filled) references.push_back(box.box()->reference());
  return references;
}

std::vector<std::string> codesIn(const FilledBox& box) {
  std::vector<std::string> codes;
  for (const PlacedItem& placed : box.items()) codes.push_back(placed.item->itemCode());
  return codes;
}

std::vector<std::string> codesOf(const std::vector<ItemRef>& items) {
  std::vector<std::string> codes;
  for (const ItemRef& item : items) codes.push_back(item->itemCode());
  return codes;
}

PlacedItem placedAt(const ItemRef& item, double x, double y, double z) {
  return PlacedItem(OrientedItem(item, item->width(), item->length(), item->depth(), "WLD"), x,
                    y, z);
}

PackingAttempt packAll(const std::vector<ItemRef>& items, const std::vector<BoxRef>& boxTypes) {
  PackingAttempt attempt;
  BoxChooser().packAll(poolOf(items), boxTypes, attempt);
  return attempt;
}

TEST(BoxChooserTest, SameCountGoesToTheHigherUtilisationWhateverTheListOrder) {
  // The 5 x 4 x 2 item fills 4 % of the small box against 0.5 % of the large one. The cube fits
  // neither, so no trial takes the whole pool and both types are tried, twice.
  const PackingAttempt attempt =
      packAll({itemOf("A", 5, 4, 2), cubeOf("Huge", 30)},
              {boxOf("Large", 20, 20, 20), boxOf("Small", 10, 10, 10)});
  EXPECT_EQ(referencesOf(attempt), (std::vector<std::string>{"Small"}));
  EXPECT_EQ(codesOf(attempt.unplaced), (std::vector<std::string>{"Huge"}));
  EXPECT_EQ(attempt.work, 4);
}

TEST(BoxChooserTest, EqualUtilisationGoesToTheLargerUsedVolume) {
  // Each box is filled completely by one cube (100 % both), but the large one holds 8000 against
  // 1000. The small cube then takes the small box, whose trial places the whole rest at once.
  const PackingAttempt attempt = packAll({cubeOf("Big", 20), cubeOf("Little", 10)},
                                         {boxOf("Small", 10, 10, 10), boxOf("Large", 20, 20, 20)});
  ASSERT_EQ(referencesOf(attempt), (std::vector<std::string>{"Large", "Small"}));
  EXPECT_EQ(codesIn(attempt.filled[0]), (std::vector<std::string>{"Big"}));
  EXPECT_EQ(codesIn(attempt.filled[1]), (std::vector<std::string>{"Little"}));
  EXPECT_EQ(attempt.work, 3);
  EXPECT_TRUE(attempt.unplaced.empty());
}

TEST(BoxChooserTest, CompleteTieGoesToTheTypeEarlierInTheList) {
  struct Case {
    const char* name;
    std::vector<std::string> order;
  };
  const Case cases[] = {{"first_then_second", {"First", "Second"}},
                        {"second_then_first", {"Second", "First"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BoxRef> boxTypes;
    for (const std::string& reference : c.order) boxTypes.push_back(boxOf(reference, 10, 10, 10));
    // Two cubes, one per box: both types place one item at 100 % with equal used volume.
    const PackingAttempt attempt = packAll({cubeOf("P", 10), cubeOf("Q", 10)}, boxTypes);
    EXPECT_EQ(referencesOf(attempt), (std::vector<std::string>{c.order[0], c.order[0]}));
    EXPECT_EQ(attempt.work, 3);  // two trials for the first box, one for the last item
  }
}

TEST(BoxChooserTest, MoreItemsBeatHigherUtilisation) {
  // The cube box holds one cube at 100 %, the long box both at 67 %: the count decides.
  const PackingAttempt attempt = packAll({cubeOf("P", 10), cubeOf("Q", 10)},
                                         {boxOf("Cube", 10, 10, 10), boxOf("Long", 30, 10, 10)});
  ASSERT_EQ(referencesOf(attempt), (std::vector<std::string>{"Long"}));
  EXPECT_EQ(attempt.filled[0].itemCount(), 2u);
  EXPECT_EQ(attempt.work, 2);
}

TEST(BoxChooserTest, TrialTakingEveryRemainingItemEndsTheScan) {
  // The tiny box takes nothing but still costs a trial; the first box taking all ends the scan,
  // so the equally good box after it is never tried.
  const PackingAttempt attempt =
      packAll({cubeOf("A", 5), cubeOf("B", 4)},
              {boxOf("Tiny", 1, 1, 1), boxOf("Fits", 10, 10, 10), boxOf("Also", 10, 10, 10),
               boxOf("Spare", 12, 12, 12)});
  EXPECT_EQ(referencesOf(attempt), (std::vector<std::string>{"Fits"}));
  EXPECT_EQ(attempt.work, 2);
}

TEST(BoxChooserTest, LimitedSupplyIsChosenAtMostItsCountThenSkippedWithoutWork) {
  struct Case {
    const char* name;
    bool withUnlimitedType;
    std::vector<std::string> references;
    std::int64_t work;
    std::vector<std::string> unplaced;
  };
  const Case cases[] = {
      // Scans: Limited + Plain, Limited + Plain, Plain alone (Limited used up, no trial).
      {"falls_back_to_plain", true, {"Limited", "Limited", "Plain"}, 5, {}},
      // Scans: Limited, Limited, then nothing is tried and the last cube stays out.
      {"nothing_left", false, {"Limited", "Limited"}, 2, {"C"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BoxRef> boxTypes{limitedBoxOf("Limited", 10, 2)};
    if (c.withUnlimitedType) boxTypes.push_back(boxOf("Plain", 10, 10, 10));
    const PackingAttempt attempt =
        packAll({cubeOf("A", 10), cubeOf("B", 10), cubeOf("C", 10)}, boxTypes);
    EXPECT_EQ(referencesOf(attempt), c.references);
    EXPECT_EQ(attempt.work, c.work);
    EXPECT_EQ(codesOf(attempt.unplaced), c.unplaced);
    EXPECT_EQ(attempt.boxesUsed.at("Limited"), 2);
  }
}

TEST(BoxChooserTest, SupplyOfZeroOrLessIsNeverTried) {
  for (const std::int32_t maximum : {0, -1}) {
    SCOPED_TRACE(maximum);
    const PackingAttempt attempt = packAll({cubeOf("A", 5)}, {limitedBoxOf("None", 10, maximum)});
    EXPECT_TRUE(attempt.filled.empty());
    EXPECT_EQ(attempt.work, 0);
    EXPECT_EQ(codesOf(attempt.unplaced), (std::vector<std::string>{"A"}));
  }
}

TEST(BoxChooserTest, SupplyIsCountedByReferenceAcrossTypesSharingIt) {
  // Two limited types named alike share one count: after two boxes both are used up.
  const PackingAttempt attempt =
      packAll({cubeOf("A", 10), cubeOf("B", 10), cubeOf("C", 10)},
              {limitedBoxOf("Shared", 10, 2), limitedBoxOf("Shared", 10, 2)});
  EXPECT_EQ(attempt.filled.size(), 2u);
  EXPECT_EQ(codesOf(attempt.unplaced), (std::vector<std::string>{"C"}));
}

TEST(BoxChooserTest, SupplyCountsAddUpOverPassesOfOneAttempt) {
  // A second pass into the same attempt finds the one box of the type already used.
  PackingAttempt attempt;
  const std::vector<BoxRef> boxTypes{limitedBoxOf("Once", 10, 1)};
  BoxChooser().packAll(poolOf({cubeOf("A", 10)}), boxTypes, attempt);
  BoxChooser().packAll(poolOf({cubeOf("B", 10)}), boxTypes, attempt);
  EXPECT_EQ(referencesOf(attempt), (std::vector<std::string>{"Once"}));
  EXPECT_EQ(codesOf(attempt.unplaced), (std::vector<std::string>{"B"}));
  EXPECT_EQ(attempt.work, 1);
}

TEST(BoxChooserTest, KeepOneGroupRefillsWithTheUngroupedItemsAndTheLowestGroup) {
  // All three fit one 10 x 10 x 20 box; the groups may not share it, so the box is filled again
  // with the ungrouped item and group "a" (lowest name, although "b" was added first).
  const BoxRef box = boxOf("Tall", 10, 10, 20);
  const ItemPool pool = poolOf({linkedOf("B1", "b", 10, 10, 5), itemOf("U", 10, 10, 5),
                                linkedOf("A1", "a", 10, 10, 5)});
  const FilledBox trial = VolumeFiller(box).fill(pool);
  ASSERT_EQ(trial.itemCount(), 3u);
  const FilledBox kept = BoxChooser::keepOneGroup(trial, pool);
  EXPECT_EQ(kept.box(), box);
  EXPECT_EQ(codesIn(kept), (std::vector<std::string>{"U", "A1"}));
}

TEST(BoxChooserTest, KeepOneGroupPicksTheFirstGroupPresentInTheTrial) {
  // Group "a" is in the pool but its item fits no box, so the trial mixes "b" and "c": "b" wins.
  const BoxRef box = boxOf("Box", 10, 10, 10);
  const ItemPool pool = poolOf({linkedOf("A1", "a", 20, 20, 20), linkedOf("C1", "c", 10, 10, 5),
                                linkedOf("B1", "b", 10, 10, 5)});
  const FilledBox trial = VolumeFiller(box).fill(pool);
  ASSERT_EQ(trial.itemCount(), 2u);
  EXPECT_EQ(codesIn(BoxChooser::keepOneGroup(trial, pool)), (std::vector<std::string>{"B1"}));
}

TEST(BoxChooserTest, KeepOneGroupLeavesOtherTrialsAlone) {
  // Hand-made trials at positions no fill would choose: when they stand, they come back as given.
  const BoxRef box = boxOf("Box", 10, 10, 10);
  const ItemRef plain = cubeOf("U", 2);
  const ItemRef inA = linkedOf("A1", "a", 2, 2, 2);
  const ItemRef otherA = linkedOf("A2", "a", 2, 2, 2);
  const ItemRef inB = linkedOf("B1", "b", 2, 2, 2);
  struct Case {
    const char* name;
    std::vector<ItemRef> placed;
    std::vector<ItemRef> pool;
  };
  const Case cases[] = {
      // Without linked items in the pool the trial is never refilled, even a mixed one.
      {"pool_without_linked_items", {inA, inB}, {plain}},
      {"ungrouped_only", {plain}, {plain, inA, inB}},
      {"one_group", {inA, otherA, plain}, {plain, inA, otherA, inB}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilledBox trial(box);
    double x = 3;
    for (const ItemRef& item : c.placed) {
      trial.addItem(placedAt(item, x, 3, 3));
      x += 2;
    }
    const FilledBox kept = BoxChooser::keepOneGroup(trial, poolOf(c.pool));
    ASSERT_EQ(kept.itemCount(), c.placed.size());
    for (std::size_t k = 0; k < c.placed.size(); ++k) {
      EXPECT_EQ(kept.items()[k].item, c.placed[k]);
      EXPECT_EQ(kept.items()[k].x, 3 + 2.0 * static_cast<double>(k));
      EXPECT_EQ(kept.items()[k].y, 3);
    }
  }
}

TEST(BoxChooserTest, MixedGroupsNeverShareABoxInAPass) {
  // One box type big enough for everything: the groups still end up in separate boxes, the
  // ungrouped item with the first group, and the refill costs no work.
  const PackingAttempt attempt =
      packAll({linkedOf("B1", "b", 10, 10, 5), itemOf("U", 10, 10, 5),
               linkedOf("A1", "a", 10, 10, 5)},
              {boxOf("Tall", 10, 10, 20)});
  ASSERT_EQ(attempt.filled.size(), 2u);
  EXPECT_EQ(codesIn(attempt.filled[0]), (std::vector<std::string>{"U", "A1"}));
  EXPECT_EQ(codesIn(attempt.filled[1]), (std::vector<std::string>{"B1"}));
  EXPECT_EQ(attempt.work, 2);
}

TEST(BoxChooserTest, EmptyPoolOrNoBoxTypes) {
  {
    SCOPED_TRACE("empty_pool");
    const PackingAttempt attempt = packAll({}, {boxOf("Box", 10, 10, 10)});
    EXPECT_TRUE(attempt.filled.empty());
    EXPECT_TRUE(attempt.unplaced.empty());
    EXPECT_EQ(attempt.work, 0);
  }
  {
    SCOPED_TRACE("no_box_types");
    const PackingAttempt attempt = packAll({cubeOf("S", 1), cubeOf("L", 3)}, {});
    EXPECT_TRUE(attempt.filled.empty());
    EXPECT_EQ(codesOf(attempt.unplaced), (std::vector<std::string>{"L", "S"}));
    EXPECT_EQ(attempt.work, 0);
  }
}

TEST(BoxChooserTest, UnplacedItemsFollowEarlierOnesInSortedOrder) {
  // Neither item fits; they are recorded largest first, after what an earlier pass left.
  PackingAttempt attempt;
  attempt.unplaced.push_back(cubeOf("Earlier", 50));
  BoxChooser().packAll(poolOf({cubeOf("Small", 11), cubeOf("Big", 30), cubeOf("Mid", 20)}),
                       {boxOf("Box", 10, 10, 10)}, attempt);
  EXPECT_EQ(codesOf(attempt.unplaced), (std::vector<std::string>{"Earlier", "Big", "Mid", "Small"}));
  EXPECT_EQ(attempt.work, 1);
}

TEST(BoxChooserTest, BoundedPassGivesUpOnceWorkReachesTheLimit) {
  // A best attempt with an unplaced item never prunes, so only the work limit acts here.
  PackingAttempt best;
  best.unplaced.push_back(cubeOf("X", 1));
  struct Case {
    const char* name;
    std::size_t boxTypes;
    std::size_t boxesFilled;
    std::int64_t work;
  };
  const Case cases[] = {
      // Choices begin at work 0 and 1 (plus 10 spent: below 12); the third begins at 2.
      {"one_type", 1, 2, 2},
      // The first scan runs both trials although the second reaches the limit.
      {"two_types", 2, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BoxRef> boxTypes;
    for (std::size_t k = 0; k < c.boxTypes; ++k) boxTypes.push_back(boxOf("Box", 10, 10, 10));
    const WorkBudget budget{10, 12, best};
    PackingAttempt attempt;
    EXPECT_FALSE(BoxChooser().packBounded(
        poolOf({cubeOf("A", 10), cubeOf("B", 10), cubeOf("C", 10)}), boxTypes, attempt, budget));
    EXPECT_EQ(attempt.filled.size(), c.boxesFilled);
    EXPECT_EQ(attempt.work, c.work);
    EXPECT_TRUE(attempt.unplaced.empty());
  }
}

TEST(BoxChooserTest, BoundedPassFinishesBelowTheLimit) {
  PackingAttempt best;
  best.unplaced.push_back(cubeOf("X", 1));
  const WorkBudget budget{10, 13, best};
  PackingAttempt attempt;
  EXPECT_TRUE(BoxChooser().packBounded(poolOf({cubeOf("A", 10), cubeOf("B", 10), cubeOf("C", 10)}),
                                       {boxOf("Box", 10, 10, 10)}, attempt, budget));
  EXPECT_EQ(attempt.filled.size(), 3u);
  EXPECT_EQ(attempt.work, 3);
}

TEST(BoxChooserTest, BoundedPassGivesUpWhenItCanNoLongerBeatACompleteBest) {
  const BoxRef box = boxOf("Box", 10, 10, 10);
  struct Case {
    const char* name;
    bool bestLeftAnItem;
    std::size_t boxesAlready;
    bool finishes;
  };
  const Case cases[] = {
      {"best_complete_in_three_and_three_filled", false, 3, false},
      {"best_complete_in_three_and_four_filled", false, 4, false},
      {"best_complete_in_three_and_two_filled", false, 2, true},
      {"best_incomplete", true, 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackingAttempt best;
    for (int k = 0; k < 3; ++k) best.filled.emplace_back(box);
    if (c.bestLeftAnItem) best.unplaced.push_back(cubeOf("X", 1));
    PackingAttempt attempt;
    for (std::size_t k = 0; k < c.boxesAlready; ++k) attempt.filled.emplace_back(box);
    const WorkBudget budget{0, 1000, best};
    EXPECT_EQ(BoxChooser().packBounded(poolOf({cubeOf("A", 5)}), {box}, attempt, budget),
              c.finishes);
    EXPECT_EQ(attempt.work, c.finishes ? 1 : 0);
    EXPECT_EQ(attempt.filled.size(), c.boxesAlready + (c.finishes ? 1 : 0));
  }
}

TEST(BoxChooserTest, BoundedPassWithEmptyPoolFinishesEvenWithoutBudget) {
  // No box choice begins, so neither check is made.
  PackingAttempt best;
  const WorkBudget budget{5, 5, best};
  PackingAttempt attempt;
  EXPECT_TRUE(BoxChooser().packBounded(poolOf({}), {boxOf("Box", 1, 1, 1)}, attempt, budget));
  EXPECT_EQ(attempt.work, 0);
}

}  // namespace
}  // namespace varbex
