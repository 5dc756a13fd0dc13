#include "orient/orientation_ranking.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fill/volume_filler.h"
#include "model/box.h"
#include "model/item.h"
#include "orient/lookahead_cache.h"
#include "orient/orientation_chooser.h"
#include "orient/trial_packer.h"

namespace varbex {
namespace {

ItemRef itemOf(double w, double l, double d, RotationPolicy policy = RotationPolicy::BestFit) {
  return std::make_shared<ConcreteItem>("I", "I", w, l, d, 1.0, policy);
}

BoxRef boxOf(double w, double l, double d) {
  return std::make_shared<ConcreteBox>("B", w, l, d, -1.0, 0.0, true);
}

// The trial fills the lookahead makes: a volume filler in lookahead mode.
class FillerPacker final : public TrialPacker {
 public:
  FilledBox trialPack(const BoxRef& volume, const ItemPool& pool) const override {
    VolumeFiller filler(volume);
    filler.setLookaheadMode(true);
    return filler.fill(pool);
  }
};

std::string chosenCode(OrientationChooser& chooser, const ItemRef& item, const ItemStack& next,
                       double w, double l, double d) {
  const std::optional<OrientedItem> chosen =
      chooser.chooseOrientation(item, nullptr, next, w, l, d, 0.0, false);
  return chosen ? chosen->orientation : "none";
}

ItemStack copiesOf(const ItemRef& like, int count) {
  ItemStack stack;
  for (int i = 0; i < count; ++i) stack.push_back(itemOf(like->width(), like->length(),
                                                         like->depth(), like->rotationPolicy()));
  return stack;
}

TEST(OrientationRankingTest, ChoosesAsTheWorkedExamplesSay) {
  struct Case {
    const char* name;
    ItemRef item;
    int copiesFollowing;
    double freeW, freeL, freeD;
    const char* want;
  };
  const Case cases[] = {
      // WLD and WDL both fill the width; the flat item lies on its largest face.
      {"flat_item_lies_flat", itemOf(10, 5, 2), 0, 10, 10, 10, "WLD"},
      // Not flat (0.4): equal strips, and WDL has the smaller footprint, 40 against 50.
      {"thick_item_takes_smaller_footprint", itemOf(10, 5, 4), 0, 10, 10, 10, "WDL"},
      // Grids of 12 for DWL against 8 for WLD and WDL.
      {"copies_take_the_larger_grid", itemOf(5, 5, 4), 5, 12, 10, 10, "DWL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientationChooser chooser(boxOf(100, 100, 100));
    chooser.setLookaheadDisabled(true);
    EXPECT_EQ(chosenCode(chooser, c.item, copiesOf(c.item, c.copiesFollowing), c.freeW, c.freeL,
                         c.freeD),
              c.want);
  }
}

TEST(OrientationRankingTest, FillingAnExtentWinsInWidthLengthDepthOrder) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const ItemStack none;
  const ItemRef item = itemOf(2, 3, 4);
  const OrientedItem wld(item, 2, 3, 4, "WLD");
  const OrientedItem lwd(item, 3, 2, 4, "LWD");
  const OrientedItem dwl(item, 4, 2, 3, "DWL");
  const OrientedItem dlw(item, 4, 3, 2, "DLW");
  struct Case {
    const char* name;
    double freeW, freeL, freeD;
    const OrientedItem& p;
    const OrientedItem& q;
    int want;
  };
  const Case cases[] = {
      {"width_filled_by_p", 3, 10, 10, lwd, wld, -1},
      {"width_filled_by_q", 3, 10, 10, wld, lwd, 1},
      // q fills the length, but p filling the width is asked first.
      {"width_before_length", 3, 3, 10, lwd, wld, -1},
      {"length_when_width_ties", 10, 3, 10, wld, lwd, -1},
      // p fills the depth, q leaves the smaller strip: depth is asked first.
      {"depth_before_strip", 10, 10, 4, wld, dwl, -1},
      {"depth_filled_by_q", 10, 10, 3, dlw, dwl, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientationRanking ranking(chooser, true, c.freeW, c.freeL, c.freeD, none, 0.0);
    EXPECT_EQ(ranking.compare(c.p, c.q), c.want);
  }
}

TEST(OrientationRankingTest, GridOfCopiesOutranksTheSmallerStrip) {
  // 4 x 3 x 1 in 10 x 7 x 5: WLD holds a grid of 2 x 2 x 5 = 20, LWD of 3 x 1 x 5 = 15, but
  // LWD leaves the smaller strip (3 against 4).
  const ItemRef item = itemOf(4, 3, 1, RotationPolicy::KeepFlat);
  struct Case {
    const char* name;
    ItemStack next;
    const char* want;
  };
  ItemStack copiesThenOther = copiesOf(item, 9);
  copiesThenOther.insert(copiesThenOther.begin(), itemOf(1, 1, 1));
  const Case cases[] = {
      {"no_next_items", {}, "LWD"},
      {"one_copy", copiesOf(item, 1), "WLD"},
      {"more_copies_than_either_grid_holds", copiesOf(item, 30), "WLD"},
      // The first item of the stack is the last to come: looking at all of them, not seven.
      {"another_shape_deep_in_the_stack", copiesThenOther, "LWD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientationChooser chooser(boxOf(100, 100, 100));
    chooser.setLookaheadDisabled(true);
    EXPECT_EQ(chosenCode(chooser, item, c.next, 10, 7, 5), c.want);
  }
}

TEST(OrientationRankingTest, CountsGridCopiesByTruncation) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const ItemStack none;
  const ItemRef item = itemOf(1, 1, 1);
  struct Case {
    const char* name;
    double freeW, freeL, freeD;
    double w, l, d;
    std::int64_t want;
  };
  const Case cases[] = {
      {"whole_numbers", 10, 10, 10, 3, 3, 3, 27},
      {"fractions_truncate", 10, 10, 10, 2.5, 4, 10, 8},
      {"wider_than_the_space", 10, 10, 10, 11, 1, 1, 0},
      {"no_tolerance_on_the_quotient", 0.3, 1, 1, 0.1, 1, 1, 2},  // 0.3 / 0.1 < 3
      {"zero_width", 10, 10, 10, 0, 1, 1, 0},
      {"zero_length", 10, 10, 10, 1, 0, 1, 0},
      {"zero_depth", 10, 10, 10, 1, 1, 0, 0},
      {"negative_depth", 10, 10, 10, 1, 1, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const OrientationRanking ranking(chooser, true, c.freeW, c.freeL, c.freeD, none, 0.0);
    EXPECT_EQ(ranking.gridCount(OrientedItem(item, c.w, c.l, c.d, "WLD")), c.want);
  }
}

TEST(OrientationRankingTest, FlatStepAppliesOnlyToBestFitItems) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const ItemStack none;
  struct Case {
    const char* name;
    RotationPolicy policy;
    double w, l, d;
    int want;  // p lies on its smallest side
  };
  // p = (w, l, d) lying, q = (w, d, l) on edge, free 10 x 10 x 10: both fill the width when
  // w is 10; the footprint step alone would put q first.
  const Case cases[] = {
      {"best_fit_flat", RotationPolicy::BestFit, 10, 5, 2, -1},
      {"keep_flat_skips_the_flat_step", RotationPolicy::KeepFlat, 10, 5, 2, 1},
      {"never_skips_the_flat_step", RotationPolicy::Never, 10, 5, 2, 1},
      {"ratio_exactly_three_tenths_is_flat", RotationPolicy::BestFit, 10, 5, 3, -1},
      {"ratio_above_three_tenths_is_not", RotationPolicy::BestFit, 10, 5, 3.0001, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ItemRef item = itemOf(c.w, c.l, c.d, c.policy);
    OrientationRanking ranking(chooser, true, 10, 10, 10, none, 0.0);
    EXPECT_EQ(ranking.compare(OrientedItem(item, c.w, c.l, c.d, "WLD"),
                              OrientedItem(item, c.w, c.d, c.l, "WDL")),
              c.want);
  }
}

TEST(OrientationRankingTest, FlatTestAllowsANanometreOfSlack) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const ItemStack none;
  const ItemRef item = itemOf(10, 5, 2);
  OrientationRanking ranking(chooser, true, 10, 10, 10, none, 0.0);
  const OrientedItem onEdge(item, 10, 2, 5, "WDL");
  EXPECT_EQ(ranking.compare(OrientedItem(item, 10, 5, 2 + 5e-10, "WLD"), onEdge), -1);
  EXPECT_EQ(ranking.compare(OrientedItem(item, 10, 5, 2 + 2e-9, "WLD"), onEdge), 1);
}

TEST(OrientationRankingTest, SmallerStripThenSmallerFootprint) {
  const OrientationChooser chooser(boxOf(100, 100, 100));
  const ItemStack none;
  const ItemRef item = itemOf(4, 3, 1, RotationPolicy::KeepFlat);
  const OrientedItem wld(item, 4, 3, 1, "WLD");
  const OrientedItem lwd(item, 3, 4, 1, "LWD");
  struct Case {
    const char* name;
    double freeW, freeL;
    int want;  // compare(WLD, LWD)
  };
  const Case cases[] = {
      // min(17 - 3, 10 - 4) = 6 against min(17 - 4, 10 - 3) = 7.
      {"long_space_strip_is_the_width", 10, 17, -1},
      // min(5, 6) = 5 against min(4, 7) = 4.
      {"short_space_strip_is_the_length", 10, 8, 1},
      // Square space: equal strips and equal footprints.
      {"square_space_ties", 10, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientationRanking ranking(chooser, true, c.freeW, c.freeL, 5, none, 0.0);
    EXPECT_EQ(ranking.compare(wld, lwd), c.want);
    EXPECT_EQ(ranking.compare(lwd, wld), -c.want);
  }
}

TEST(OrientationRankingTest, CandidatesHeldEqualKeepGenerationOrder) {
  struct Case {
    const char* name;
    double w, l;
  };
  const Case cases[] = {{"wide_first", 4, 3}, {"long_first", 3, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientationChooser chooser(boxOf(100, 100, 100));
    chooser.setLookaheadDisabled(true);
    EXPECT_EQ(chosenCode(chooser, itemOf(c.w, c.l, 1, RotationPolicy::KeepFlat), {}, 10, 10, 5),
              "WLD");
  }
}

TEST(OrientationRankingTest, NextItemThatFitsBesideOnlyOneDecidesWhateverTheLookahead) {
  LookaheadCache::forThisThread().clear();
  const FillerPacker packer;
  // In 10 x 20 x 5, WLD (4 x 3) leaves the smaller strip (6 against 7), but the next item, 7
  // wide, fits beside LWD only. The lookahead favours WLD: its space in front of the row,
  // 10 x 17 x 5, takes all four 10 x 8.5 x 2.5 items, against two in LWD's 10 x 16 x 5 plus
  // the next item beside it.
  const ItemRef item = itemOf(4, 3, 5, RotationPolicy::KeepFlat);
  ItemStack next;
  for (int i = 0; i < 4; ++i) next.push_back(itemOf(10, 8.5, 2.5, RotationPolicy::Never));
  next.push_back(itemOf(7, 1, 1, RotationPolicy::Never));

  OrientationChooser chooser(boxOf(100, 100, 100), &packer);
  const OrientationRanking ranking(chooser, false, 10, 20, 5, next, 0.0);
  const OrientedItem wld(item, 4, 3, 5, "WLD");
  const OrientedItem lwd(item, 3, 4, 5, "LWD");
  EXPECT_EQ(ranking.lookahead(wld), 4);
  EXPECT_EQ(ranking.lookahead(lwd), 3);

  EXPECT_EQ(chosenCode(chooser, item, next, 10, 20, 5), "LWD");
  // A next item that fits beside both leaves it to the lookahead, which favours WLD.
  ItemStack nextFitsBesideBoth = next;
  nextFitsBesideBoth.back() = itemOf(1, 1, 1, RotationPolicy::Never);
  EXPECT_EQ(chosenCode(chooser, item, nextFitsBesideBoth, 10, 20, 5), "WLD");
}

TEST(OrientationRankingTest, LookaheadCountsSeparateOnlyWhenEnabled) {
  LookaheadCache::forThisThread().clear();
  const FillerPacker packer;
  // In 10 x 12 x 5 the strip step prefers WLD (min(9, 6) = 6 against min(8, 7) = 7). The next
  // 1 x 1 x 1 fits beside both. LWD's volumes, 7 x 4 x 5 and 10 x 8 x 5, take all four coming
  // items; WLD's, 6 x 3 x 5 and 10 x 9 x 5, take the small one and two of the 7 x 4 x 5.
  const ItemRef item = itemOf(4, 3, 5, RotationPolicy::KeepFlat);
  ItemStack next;
  for (int i = 0; i < 3; ++i) next.push_back(itemOf(7, 4, 5, RotationPolicy::Never));
  next.push_back(itemOf(1, 1, 1, RotationPolicy::Never));

  OrientationChooser looking(boxOf(100, 100, 100), &packer);
  const OrientationRanking ranking(looking, false, 10, 12, 5, next, 0.0);
  EXPECT_EQ(ranking.lookahead(OrientedItem(item, 4, 3, 5, "WLD")), 3);
  EXPECT_EQ(ranking.lookahead(OrientedItem(item, 3, 4, 5, "LWD")), 4);
  EXPECT_EQ(chosenCode(looking, item, next, 10, 12, 5), "LWD");

  OrientationChooser disabled(boxOf(100, 100, 100), &packer);
  disabled.setLookaheadDisabled(true);
  EXPECT_EQ(chosenCode(disabled, item, next, 10, 12, 5), "WLD");
}

TEST(OrientationRankingTest, DisabledLookaheadCountsZeroAndLeavesTheCacheAlone) {
  LookaheadCache::forThisThread().clear();
  const FillerPacker packer;
  const ItemRef item = itemOf(4, 3, 5, RotationPolicy::KeepFlat);
  ItemStack next{itemOf(1, 1, 1, RotationPolicy::Never)};
  const OrientationChooser chooser(boxOf(100, 100, 100), &packer);
  const OrientationRanking ranking(chooser, true, 10, 12, 5, next, 0.0);
  EXPECT_EQ(ranking.lookahead(OrientedItem(item, 4, 3, 5, "WLD")), 0);
  EXPECT_EQ(LookaheadCache::forThisThread().size(), 0u);

  const OrientationChooser noPacker(boxOf(100, 100, 100));
  const OrientationRanking withoutPacker(noPacker, false, 10, 12, 5, next, 0.0);
  EXPECT_EQ(withoutPacker.lookahead(OrientedItem(item, 4, 3, 5, "WLD")), 0);
  EXPECT_EQ(LookaheadCache::forThisThread().size(), 0u);
}

}  // namespace
}  // namespace varbex
