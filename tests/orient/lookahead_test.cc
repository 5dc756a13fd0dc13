#include "orient/lookahead.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fill/volume_filler.h"
#include "model/box.h"
#include "model/item.h"
#include "orient/lookahead_cache.h"
#include "orient/lookahead_shortcuts.h"
#include "orient/orientation_chooser.h"
#include "orient/orientation_ranking.h"
#include "orient/trial_packer.h"

namespace varbex {
namespace {

ItemRef itemOf(double w, double l, double d, RotationPolicy policy = RotationPolicy::Never,
               double weight = 1.0) {
  return std::make_shared<ConcreteItem>("I", "I", w, l, d, weight, policy);
}

OrientedItem candidateOf(double w, double l, double d) {
  return OrientedItem(itemOf(w, l, d), w, l, d, "WLD");
}

ItemStack stackOf(int count, double w, double l, double d) {
  ItemStack stack;
  for (int i = 0; i < count; ++i) stack.push_back(itemOf(w, l, d));
  return stack;
}

// Trial-packs like the volume filler in lookahead mode and records every volume it was given.
class RecordingPacker final : public TrialPacker {
 public:
  struct Call {
    double width, length, depth;
    std::size_t offered, placed;
  };

  FilledBox trialPack(const BoxRef& volume, const ItemPool& pool) const override {
    VolumeFiller filler(volume);
    filler.setLookaheadMode(true);
    FilledBox filled = filler.fill(pool);
    calls.push_back(
        {volume->width(), volume->length(), volume->depth(), pool.size(), filled.itemCount()});
    return filled;
  }

  mutable std::vector<Call> calls;
};

LookaheadCache& freshCache() {
  LookaheadCache& cache = LookaheadCache::forThisThread();
  cache.clear();
  return cache;
}

TEST(LookaheadTest, KeyHoldsExtentsRowSpanAndTheSevenNextItems) {
  // Next items, first element to last: k + 1 by k + 2 by k + 3, weight k + 0.5, policy k % 3.
  ItemStack next;
  for (int k = 0; k < 10; ++k) {
    next.push_back(itemOf(k + 1, k + 2, k + 3, static_cast<RotationPolicy>(k % 3), k + 0.5));
  }
  const LookaheadQuestion question{10.5, 20.25, 7, 2, next};
  const LookaheadKey key = makeLookaheadKey(question, candidateOf(3.5, 4, 1));
  // The last element (k = 9) comes first; k = 3 is the seventh and last looked at.
  const std::array<std::int64_t, 42> want{
      10500000, 20250000, 3500000,  4000000,  4000000,  7000000,  7,        10000000, 11000000,
      12000000, 9500000,  0,        9000000,  10000000, 11000000, 8500000,  2,        8000000,
      9000000,  10000000, 7500000,  1,        7000000,  8000000,  9000000,  6500000,  0,
      6000000,  7000000,  8000000,  5500000,  2,        5000000,  6000000,  7000000,  4500000,
      1,        4000000,  5000000,  6000000,  3500000,  0};
  EXPECT_EQ(key.words, want);
}

TEST(LookaheadTest, KeyZeroesThePlacesOfMissingNextItems) {
  const ItemStack next{itemOf(1, 2, 3, RotationPolicy::BestFit, 4), itemOf(5, 6, 7)};
  const LookaheadKey key = makeLookaheadKey({10, 10, 10, 0, next}, candidateOf(1, 1, 1));
  EXPECT_EQ(key.words[6], 2);
  EXPECT_EQ(key.words[7], 5000000);
  EXPECT_EQ(key.words[12], 1000000);
  EXPECT_EQ(key.words[16], 2);
  for (std::size_t i = 17; i < 42; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(key.words[i], 0);
  }
}

TEST(LookaheadTest, KeyRowSpanIsTheLongerOfRowAndCandidate) {
  const ItemStack none;
  struct Case {
    const char* name;
    double rowLength, candidateLength;
    std::int64_t want;
  };
  const Case cases[] = {
      {"candidate_longer", 2, 4, 4000000},
      {"row_longer", 6, 4, 6000000},
      {"equal", 4, 4, 4000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LookaheadKey key =
        makeLookaheadKey({10, 10, 10, c.rowLength, none}, candidateOf(3, c.candidateLength, 5));
    EXPECT_EQ(key.words[4], c.want);
  }
}

TEST(LookaheadTest, KeyRoundsToMillionthsHalfAwayFromZero) {
  const ItemStack none;
  struct Case {
    double value;
    std::int64_t want;
  };
  const Case cases[] = {
      {10, 10000000},      {0.1, 100000},         {-2.25, -2250000},   {1e-7, 0},
      {4e-7, 0},           {6e-7, 1},             {5e-7, 1},           {-5e-7, -1},
      {2.5e-6, 3},         {-2.5e-6, -3},         {1.0000004, 1000000}, {1.0000006, 1000001},
      {10.0000004, 10000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(makeLookaheadKey({c.value, 1, 1, 0, none}, candidateOf(1, 1, 1)).words[0], c.want);
  }
}

// The fast rounding of the key must agree with llround wherever llround is defined.
TEST(LookaheadTest, KeyRoundingAgreesWithLlround) {
  const ItemStack none;
  std::vector<double> values = {0.0, -0.0, 0.5e-6, -0.5e-6, 1.5e-6, 2.5e-6, -3.5e-6,
                                4503599627.3704955, 4503599627.3704965,  // near 2^52 millionths
                                9007199254.740991, 9007199254.740993,    // near 2^53 millionths
                                -9223372036854.775, 9223372036854.775,   // near 2^63 millionths
                                123.4567895, -123.4567895, 0.1, 0.7, 1e-300};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> magnitude(-12, 13);
  for (int i = 0; i < 20000; ++i) {
    const double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
    values.push_back(value);
    // Values whose millionths end in exactly one half.
    values.push_back((std::floor(value * 1e6) + 0.5) / 1e6);
  }
  for (const double value : values) {
    const double scaled = value * 1000000;
    if (!(std::fabs(scaled) < 9.2e18)) continue;
    SCOPED_TRACE(value);
    EXPECT_EQ(makeLookaheadKey({value, 1, 1, 0, none}, candidateOf(1, 1, 1), nullptr,
                               MicrosRoundedInline{})
                  .words[0],
              std::llround(scaled));
  }
}

TEST(LookaheadTest, KeyTakesTheNextItemsPartFromAnotherCandidatesKey) {
  ItemStack next;
  for (int k = 0; k < 9; ++k) next.push_back(itemOf(k + 1, 2, 3, RotationPolicy::BestFit, k));
  const LookaheadQuestion question{10.5, 20.25, 7, 2, next};
  const LookaheadKey first = makeLookaheadKey(question, candidateOf(3.5, 4, 1));
  const OrientedItem other = candidateOf(2, 6.5, 1);
  EXPECT_EQ(makeLookaheadKey(question, other, &first), makeLookaheadKey(question, other));
}

TEST(LookaheadTest, NextItemsHashIsWordWiseFnv1aOverWordsSixOn) {
  // Worked out with unbounded integers, each word reduced modulo 2^64: words 6 to 41 folded from
  // the FNV-1a basis. The candidate's words (0 to 5) do not enter.
  struct Case {
    const char* name;
    std::array<std::int64_t, 42> words;
    std::uint64_t want;
  };
  Case cases[] = {
      {"all_zero", {}, 0x943cf28841434e75ULL},
      {"one_to_forty_two", {}, 0xb9302777a7a11429ULL},
      {"minus_one_first", {}, 0x943cf28841434e75ULL},
  };
  for (std::size_t i = 0; i < 42; ++i) cases[1].words[i] = static_cast<std::int64_t>(i) + 1;
  cases[2].words[0] = -1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LookaheadKey key;
    key.words = c.words;
    EXPECT_EQ(LookaheadKeyHash::ofNextItems(key), c.want);
  }
}

TEST(LookaheadTest, LooksAtTheLastSevenNextItemsOnly) {
  struct Case {
    const char* name;
    ItemStack next;
    std::int32_t want;
  };
  ItemStack smallLast = stackOf(3, 50, 50, 50);
  for (const ItemRef& item : stackOf(7, 1, 1, 1)) smallLast.push_back(item);
  ItemStack largeLast = stackOf(7, 1, 1, 1);
  for (const ItemRef& item : stackOf(3, 50, 50, 50)) largeLast.push_back(item);
  const Case cases[] = {
      {"ten_that_all_fit", stackOf(10, 1, 1, 1), 7},
      {"large_ones_beyond_the_seven", smallLast, 7},
      {"large_ones_among_the_seven", largeLast, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshCache();
    const RecordingPacker packer;
    EXPECT_EQ(answerLookahead({10, 10, 5, 0, c.next}, candidateOf(1, 1, 1), packer), c.want);
    ASSERT_EQ(packer.calls.size(), 2u);
    EXPECT_EQ(packer.calls[0].offered, 7u);
  }
}

TEST(LookaheadTest, FillsBesideTheCandidateThenInFrontOfTheRow) {
  struct Case {
    const char* name;
    double freeW, freeL, rowLength;
    double candW, candL;
    std::array<double, 2> firstWL;
    std::array<double, 2> secondWL;
    std::int32_t want;
  };
  // Three 10 x 3 x 5 items: only a volume 10 wide takes them, one per 3 of length.
  const Case cases[] = {
      // As wide as the free width: the first volume has width 0 and takes nothing.
      {"candidate_fills_the_width", 10, 10, 0, 10, 4, {0, 4}, {10, 6}, 2},
      // Longer than the row so far: the row becomes 4 long, leaving 6 in front.
      {"candidate_longer_than_row", 10, 10, 2, 3, 4, {7, 4}, {10, 6}, 2},
      // Shorter than the row: the row keeps its 7, leaving 3 in front.
      {"candidate_shorter_than_row", 10, 10, 7, 3, 4, {7, 7}, {10, 3}, 1},
      {"row_fills_the_length", 10, 10, 10, 3, 4, {7, 10}, {10, 0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshCache();
    const RecordingPacker packer;
    const ItemStack next = stackOf(3, 10, 3, 5);
    EXPECT_EQ(answerLookahead({c.freeW, c.freeL, 5, c.rowLength, next},
                              candidateOf(c.candW, c.candL, 5), packer),
              c.want);
    ASSERT_EQ(packer.calls.size(), 2u);
    EXPECT_EQ(packer.calls[0].width, c.firstWL[0]);
    EXPECT_EQ(packer.calls[0].length, c.firstWL[1]);
    EXPECT_EQ(packer.calls[0].depth, 5);
    EXPECT_EQ(packer.calls[0].offered, 3u);
    EXPECT_EQ(packer.calls[1].width, c.secondWL[0]);
    EXPECT_EQ(packer.calls[1].length, c.secondWL[1]);
    EXPECT_EQ(packer.calls[1].depth, 5);
    EXPECT_EQ(packer.calls[1].offered, 3 - packer.calls[0].placed);
  }
}

TEST(LookaheadTest, SecondVolumeGetsOnlyWhatTheFirstLeft) {
  freshCache();
  const RecordingPacker packer;
  // Beside a 3 x 4 candidate in 10 x 10: 7 x 4 x 5 takes one 7 x 4 x 5; the 10 x 6 x 5 in front
  // takes the other and the 1 x 1 x 1 beside it.
  ItemStack next = stackOf(2, 7, 4, 5);
  next.push_back(itemOf(1, 1, 1));
  EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(3, 4, 5), packer), 3);
  ASSERT_EQ(packer.calls.size(), 2u);
  EXPECT_EQ(packer.calls[0].placed, 1u);
  EXPECT_EQ(packer.calls[1].offered, 2u);
  EXPECT_EQ(packer.calls[1].placed, 2u);
}

TEST(LookaheadTest, AnswersAQuestionAskedBeforeFromTheCache) {
  LookaheadCache& cache = freshCache();
  const RecordingPacker packer;
  const ItemStack next = stackOf(3, 10, 3, 5);
  EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(3, 4, 5), packer), 2);
  EXPECT_EQ(packer.calls.size(), 2u);
  EXPECT_EQ(cache.size(), 1u);

  // Less than half a millionth apart, and other item objects: the same key.
  const ItemStack sameShapes = stackOf(3, 10, 3, 5);
  EXPECT_EQ(answerLookahead({10.0000004, 9.9999996, 5.0000004, 0.0000004, sameShapes},
                            candidateOf(3, 4.0000004, 5), packer),
            2);
  EXPECT_EQ(packer.calls.size(), 2u);
  EXPECT_EQ(cache.size(), 1u);

  EXPECT_EQ(answerLookahead({10.000001, 10, 5, 0, next}, candidateOf(3, 4, 5), packer), 2);
  EXPECT_EQ(packer.calls.size(), 4u);
  EXPECT_EQ(cache.size(), 2u);
}

TEST(LookaheadTest, StoredAnswerStandsForEveryLaterQuestionWithTheSameKey) {
  freshCache();
  const RecordingPacker packer;
  const ItemStack next = stackOf(3, 10, 3, 5);
  EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(3, 4, 5), packer), 2);
  // The key holds the candidate's width and length only: a candidate as deep as the whole free
  // depth gets the stored answer.
  EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(3, 4, 1), packer), 2);
  EXPECT_EQ(packer.calls.size(), 2u);
}

TEST(LookaheadTest, FullCacheIsEmptiedByTheNextNewEntry) {
  LookaheadCache& cache = freshCache();
  LookaheadKey first;
  first.words[0] = 1;
  cache.insert(first, 5);
  for (std::int64_t i = 2; i <= static_cast<std::int64_t>(LookaheadCache::kMaxEntries); ++i) {
    LookaheadKey key;
    key.words[0] = i;
    cache.insert(key, 0);
  }
  ASSERT_EQ(cache.size(), LookaheadCache::kMaxEntries);
  ASSERT_NE(cache.find(first), nullptr);
  EXPECT_EQ(*cache.find(first), 5);

  LookaheadKey newcomer;
  newcomer.words[1] = 1;
  cache.insert(newcomer, 3);
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_EQ(cache.find(first), nullptr);
  ASSERT_NE(cache.find(newcomer), nullptr);
  EXPECT_EQ(*cache.find(newcomer), 3);
  cache.clear();
}

TEST(LookaheadTest, QuestionAskedBeforeAFullCacheIsComputedAgainAfterIt) {
  LookaheadCache& cache = freshCache();
  const RecordingPacker packer;
  const ItemStack next = stackOf(3, 10, 3, 5);
  const LookaheadQuestion asked{10, 10, 5, 0, next};
  EXPECT_EQ(answerLookahead(asked, candidateOf(3, 4, 5), packer), 2);
  for (std::int64_t i = 1; cache.size() < LookaheadCache::kMaxEntries; ++i) {
    LookaheadKey filler;
    filler.words[0] = -i;
    cache.insert(filler, 0);
  }
  EXPECT_EQ(answerLookahead(asked, candidateOf(3, 4, 5), packer), 2);
  EXPECT_EQ(packer.calls.size(), 2u);

  EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(4, 4, 5), packer), 2);
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_EQ(packer.calls.size(), 4u);
  EXPECT_EQ(answerLookahead(asked, candidateOf(3, 4, 5), packer), 2);
  EXPECT_EQ(packer.calls.size(), 6u);
  EXPECT_EQ(cache.size(), 2u);
  cache.clear();
}

TEST(LookaheadTest, DisabledLookaheadNeitherCreatesNorFillsTheCache) {
  const RecordingPacker packer;
  const ItemStack next = stackOf(3, 10, 3, 5);
  const OrientedItem candidate = candidateOf(3, 4, 5);
  bool createdWhileDisabled = true;
  bool createdWhenEnabled = false;
  std::size_t sizeWhenEnabled = 0;
  std::thread([&] {
    const OrientationChooser chooser(std::make_shared<WorkingVolume>(10, 10, 5), &packer);
    const OrientationRanking disabled(chooser, true, 10, 10, 5, next, 0);
    EXPECT_EQ(disabled.lookahead(candidate), 0);
    createdWhileDisabled = existingLookaheadCache() != nullptr;
    const OrientationRanking enabled(chooser, false, 10, 10, 5, next, 0);
    EXPECT_EQ(enabled.lookahead(candidate), 2);
    createdWhenEnabled = existingLookaheadCache() != nullptr;
    sizeWhenEnabled = createdWhenEnabled ? existingLookaheadCache()->size() : 0;
  }).join();
  EXPECT_FALSE(createdWhileDisabled);
  EXPECT_TRUE(createdWhenEnabled);
  EXPECT_EQ(sizeWhenEnabled, 1u);
  EXPECT_EQ(packer.calls.size(), 2u);
}

TEST(LookaheadTest, EachThreadKeepsItsOwnAnswers) {
  const RecordingPacker packer;
  const ItemStack next = stackOf(3, 10, 3, 5);
  freshCache();
  EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(3, 4, 5), packer), 2);
  bool otherThreadHadCache = true;
  std::thread([&] {
    otherThreadHadCache = existingLookaheadCache() != nullptr;
    EXPECT_EQ(answerLookahead({10, 10, 5, 0, next}, candidateOf(3, 4, 5), packer), 2);
  }).join();
  EXPECT_FALSE(otherThreadHadCache);
  // The other thread asked the same question and had to work it out itself.
  EXPECT_EQ(packer.calls.size(), 4u);
  EXPECT_EQ(LookaheadCache::forThisThread().size(), 1u);
}

}  // namespace
}  // namespace varbex
