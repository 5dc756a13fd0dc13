#include "orient/orientation_ranking.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/int64_range.h"
#include "model/sorted_triple.h"
#include "orient/lookahead_shortcuts.h"

namespace varbex {
namespace {

// An orientation that fills a free extent exactly (nothing, or less than nothing, left over)
// goes first; used for width, length and depth in turn.
int compareFilled(double leftP, double leftQ) {
  if (leftP <= 0 && leftQ > 0) return -1;
  if (leftP > 0 && leftQ <= 0) return 1;
  return 0;
}

// The smaller value goes first; equal values tie, and a NaN on either side puts q first.
int smallerFirst(double p, double q) {
  if (p == q) return 0;
  return p < q ? -1 : 1;
}

// Signed 64-bit product that wraps on overflow instead of being undefined.
std::int64_t wrappingMultiply(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

bool liesFlat(const OrientedItem& o, double smallest) {
  return std::fabs(o.depth - smallest) < 1e-9;
}

}  // namespace

OrientationRanking::OrientationRanking(const OrientationChooser& chooser, bool lookaheadDisabled,
                                       double freeWidth, double freeLength, double freeDepth,
                                       ItemStackView nextItems, double rowLength)
    : chooser_(chooser),
      lookaheadDisabled_(lookaheadDisabled),
      freeWidth_(freeWidth),
      freeLength_(freeLength),
      freeDepth_(freeDepth),
      nextItems_(nextItems),
      rowLength_(rowLength) {}

bool OrientationRanking::allCopiesFollow(const OrientedItem& p) {
  if (!sameShapeRestKnown_) {
    sameShapeRest_ = std::all_of(nextItems_.rbegin(), nextItems_.rend(),
                                 [&p](const ItemRef& next) { return p.hasSameShape(next); });
    sameShapeRestKnown_ = true;
  }
  return sameShapeRest_;
}

int OrientationRanking::compare(const OrientedItem& p, const OrientedItem& q) {
  const double dwP = freeWidth_ - p.width;
  const double dwQ = freeWidth_ - q.width;
  if (const int r = compareFilled(dwP, dwQ)) return r;
  const double dlP = freeLength_ - p.length;
  const double dlQ = freeLength_ - q.length;
  if (const int r = compareFilled(dlP, dlQ)) return r;
  if (const int r = compareFilled(freeDepth_ - p.depth, freeDepth_ - q.depth)) return r;

  if (allCopiesFollow(p) && !nextItems_.empty()) {
    const std::int64_t copies = static_cast<std::int64_t>(nextItems_.size()) + 1;
    const std::int64_t gridP = gridCount(p);
    const std::int64_t gridQ = gridCount(q);
    const bool allP = gridP >= copies;
    const bool allQ = gridQ >= copies;
    if (allP != allQ) return allP ? -1 : 1;
    if (gridP != gridQ) return gridP > gridQ ? -1 : 1;
  }

  if (!nextItems_.empty()) {
    const bool nextFitsP = nextFitsBeside(p);
    const bool nextFitsQ = nextFitsBeside(q);
    if (nextFitsP != nextFitsQ) return nextFitsP ? -1 : 1;
    if (!lookaheadDisabled_) {
      const std::int32_t aheadP = lookaheadOnce(p);
      const std::int32_t aheadQ = lookaheadOnce(q);
      if (aheadP != aheadQ) return aheadP > aheadQ ? -1 : 1;
    }
  }

  const Item& item = *p.item;
  if (item.rotationPolicy() == RotationPolicy::BestFit) {
    const SortedTriple sides(item.width(), item.length(), item.depth());
    if (sides.high > 0 && sides.low / sides.high <= 0.3) {
      const bool flatP = liesFlat(p, sides.low);
      const bool flatQ = liesFlat(q, sides.low);
      if (flatP != flatQ) return flatP ? -1 : 1;
    }
  }

  if (const int r = smallerFirst(std::min(dlP, dwP), std::min(dlQ, dwQ))) return r;
  if (const int r = smallerFirst(p.length * p.width, q.length * q.width)) return r;
  return 0;
}

OrientedItem& firstRanked(std::vector<OrientedItem>& candidates, OrientationRanking& ranking) {
  // Stable insertion sort: an element moves only past those it ranks strictly before.
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    OrientedItem key = std::move(candidates[i]);
    std::size_t j = i;
    while (j > 0 && ranking.compare(key, candidates[j - 1]) < 0) {
      candidates[j] = std::move(candidates[j - 1]);
      --j;
    }
    candidates[j] = std::move(key);
  }
  return candidates.front();
}

std::int64_t OrientationRanking::gridCount(const OrientedItem& o) const {
  if (o.width <= 0 || o.length <= 0 || o.depth <= 0) return 0;
  const std::int64_t cx = truncateToInt64(freeWidth_ / o.width);
  const std::int64_t cy = truncateToInt64(freeLength_ / o.length);
  const std::int64_t cz = truncateToInt64(freeDepth_ / o.depth);
  return wrappingMultiply(wrappingMultiply(cz, cy), cx);
}

bool OrientationRanking::nextFitsBeside(const OrientedItem& o) {
  for (std::size_t i = 0; i < nextFitCount_; ++i) {
    const NextFit& known = nextFits_[i];
    if (known.item == o.item.get() && known.width == o.width && known.length == o.length &&
        known.depth == o.depth) {
      return known.fits;
    }
  }
  const bool fits = chooser_.hasCandidate(*nextItems_.back(), &o, freeWidth_ - o.width,
                                          freeLength_, freeDepth_);
  if (nextFitCount_ < nextFits_.size()) {
    nextFits_[nextFitCount_++] = NextFit{o.item.get(), o.width, o.length, o.depth, fits};
  }
  return fits;
}

std::int32_t OrientationRanking::lookaheadOnce(const OrientedItem& o) {
  for (std::size_t i = 0; i < answerCount_; ++i) {
    if (answers_[i].width == o.width && answers_[i].length == o.length) return answers_[i].count;
  }
  const std::int32_t count = lookahead(o);
  if (answerCount_ < answers_.size()) answers_[answerCount_++] = Answer{o.width, o.length, count};
  return count;
}

std::int32_t OrientationRanking::lookahead(const OrientedItem& o) const {
  if (lookaheadDisabled_ || chooser_.packer() == nullptr) return 0;
  const LookaheadQuestion question{freeWidth_, freeLength_, freeDepth_, rowLength_, nextItems_};
  // Every candidate of this choice asks about the same next items.
  return answerLookaheadWithShortcuts(question, o, *chooser_.packer(), &lookaheadShared_,
                                      chooser_.shortcuts());
}

}  // namespace varbex
