#include "orient/orientation_chooser.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "orient/orientation_ranking.h"

namespace varbex {
namespace {

bool fits(const OrientedItem& o, double freeWidth, double freeLength, double freeDepth) {
  return freeWidth >= o.width && freeLength >= o.length && freeDepth >= o.depth;
}

// Stable insertion sort: an element moves only past those it ranks strictly before.
void rankCandidates(std::vector<OrientedItem>& candidates, OrientationRanking& ranking) {
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    OrientedItem key = std::move(candidates[i]);
    std::size_t j = i;
    while (j > 0 && ranking.compare(key, candidates[j - 1]) < 0) {
      candidates[j] = std::move(candidates[j - 1]);
      --j;
    }
    candidates[j] = std::move(key);
  }
}

bool allFinite(const std::vector<OrientedItem>& candidates, double freeWidth, double freeLength,
               double freeDepth) {
  return std::isfinite(freeWidth) && std::isfinite(freeLength) && std::isfinite(freeDepth) &&
         std::all_of(candidates.begin(), candidates.end(), [](const OrientedItem& o) {
           return std::isfinite(o.width) && std::isfinite(o.length) && std::isfinite(o.depth);
         });
}

// The candidate that a stable sort by the ranking puts first. With every extent a finite number,
// the ranking compares the candidates step by step on values of each one's own, so the first of a
// stable sort is the earliest candidate that no other ranks strictly before, and one pass finds
// it. A difference that is not a number (infinite extents) ties with everything and breaks that
// order; then the candidates are sorted.
OrientedItem& firstRanked(std::vector<OrientedItem>& candidates, OrientationRanking& ranking,
                          bool finite, bool inOnePass) {
  if (!finite || !inOnePass) {
    rankCandidates(candidates, ranking);
    return candidates.front();
  }
  std::size_t first = 0;
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    if (ranking.compare(candidates[i], candidates[first]) < 0) first = i;
  }
  return candidates[first];
}

// The first orientation k (in the fixed order) of those the item's policy allows for which
// test(k, extents) holds, or -1.
template <typename Test>
int firstAllowedOrientation(const Item& item, Test test) {
  return readItem(item, [&test](const auto& i) {
    const int count = OrientedItem::allowedCount(i.rotationPolicy());
    const double w = i.width();
    const double l = i.length();
    const double d = i.depth();
    for (int k = 0; k < count; ++k) {
      if (test(k, OrientedItem::extentsOf(k, w, l, d))) return k;
    }
    return -1;
  });
}

// The first of the item's allowed orientations with exactly the extents of `previous`, or -1.
int orientationLike(const Item& item, const OrientedItem& previous) {
  return firstAllowedOrientation(item, [&previous](int, const OrientedItem::Extents& e) {
    return e.width == previous.width && e.length == previous.length &&
           e.depth == previous.depth;
  });
}

// Calls visit(k, extents) for each orientation k the item's policy allows that fits the free
// space, in order, until visit returns true; whether it did.
template <typename Visit>
bool anyFittingOrientation(const Item& item, double freeWidth, double freeLength,
                           double freeDepth, Visit visit) {
  return firstAllowedOrientation(item, [&](int k, const OrientedItem::Extents& e) {
           return freeWidth >= e.width && freeLength >= e.length && freeDepth >= e.depth &&
                  visit(k, e);
         }) >= 0;
}

}  // namespace

OrientationChooser::OrientationChooser(BoxRef box, const TrialPacker* packer,
                                       const Shortcuts& shortcuts)
    : box_(std::move(box)), packer_(packer), shortcuts_(shortcuts) {}

std::vector<OrientedItem> OrientationChooser::candidateOrientations(
    const ItemRef& item, const OrientedItem* previous, double freeWidth, double freeLength,
    double freeDepth) const {
  std::vector<OrientedItem> kept;
  collectCandidates(item, previous, freeWidth, freeLength, freeDepth, kept);
  return kept;
}

void OrientationChooser::collectCandidates(const ItemRef& item, const OrientedItem* previous,
                                           double freeWidth, double freeLength, double freeDepth,
                                           std::vector<OrientedItem>& kept) const {
  kept.clear();
  // A copy of the previous item keeps the row uniform by taking the same orientation, but only
  // one its own policy allows and under its own code: copying the code as it stands would turn a
  // "Never" item, or write "WLD" for an item whose sides lie in another order.
  if (previous && previous->hasSameShape(*item)) {
    const int same = orientationLike(*item, *previous);
    if (same >= 0) {
      if (fits(*previous, freeWidth, freeLength, freeDepth)) {
        kept.emplace_back(item, previous->width, previous->length, previous->depth,
                          OrientedItem::codeOf(same));
      }
      return;
    }
  }
  anyFittingOrientation(*item, freeWidth, freeLength, freeDepth,
                        [&item, &kept](int k, const OrientedItem::Extents& e) {
                          const bool repeated =
                              std::any_of(kept.begin(), kept.end(), [&e](const OrientedItem& o) {
                                return o.width == e.width && o.length == e.length &&
                                       o.depth == e.depth;
                              });
                          if (!repeated) {
                            kept.emplace_back(item, e.width, e.length, e.depth,
                                              OrientedItem::codeOf(k));
                          }
                          return false;
                        });
}

bool OrientationChooser::hasCandidate(const Item& item, const OrientedItem* previous,
                                      double freeWidth, double freeLength,
                                      double freeDepth) const {
  if (previous && previous->hasSameShape(item) && orientationLike(item, *previous) >= 0) {
    return fits(*previous, freeWidth, freeLength, freeDepth);
  }
  return anyFittingOrientation(item, freeWidth, freeLength, freeDepth,
                               [](int, const OrientedItem::Extents&) { return true; });
}

std::vector<OrientedItem> OrientationChooser::keepStable(const ItemRef& item,
                                                         std::vector<OrientedItem> candidates) {
  keepStableIn(item, candidates);
  return candidates;
}

void OrientationChooser::keepStableIn(const ItemRef& item,
                                      std::vector<OrientedItem>& candidates) {
  // Reaching from the floor to the lid, an item cannot tip over.
  const auto accepted = [this](const OrientedItem& o) {
    return o.isStable() || o.depth == box_->depth();
  };
  if (std::any_of(candidates.begin(), candidates.end(), accepted)) {
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                    [&accepted](const OrientedItem& o) { return !accepted(o); }),
                     candidates.end());
    return;
  }
  if (!candidates.empty() && hasStableOrientation(item)) candidates.clear();
}

bool OrientationChooser::hasStableOrientation(const ItemRef& item) {
  const auto known = std::find_if(
      stableByItem_.begin(), stableByItem_.end(),
      [&item](const std::pair<ItemRef, bool>& entry) { return entry.first == item; });
  if (known != stableByItem_.end()) return known->second;
  const auto more = moreStableByItem_.find(item.get());
  if (more != moreStableByItem_.end()) return more->second.second;
  const bool stable = stableForShape(item);
  if (stableByItem_.size() < kStableByItemListed) {
    stableByItem_.emplace_back(item, stable);
  } else {
    moreStableByItem_.emplace(item.get(), std::make_pair(item, stable));
  }
  return stable;
}

// The first item of a shape decides for every later one that shares its six-decimal key.
bool OrientationChooser::stableForShape(const ItemRef& item) {
  const std::optional<ShapeKey> key =
      shortcuts_.stabilityMemoKeyedByValues ? shapeKeyOf(*item, *box_) : std::nullopt;
  if (key) {
    const auto found = stableByShape_.find(*key);
    if (found != stableByShape_.end()) return found->second;
    const bool stable = computeStable(item);
    stableByShape_.emplace(*key, stable);
    return stable;
  }
  std::string text = shapeKeyText(*item, *box_);
  const auto found = stableByText_.find(text);
  if (found != stableByText_.end()) return found->second;
  const bool stable = computeStable(item);
  stableByText_.emplace(std::move(text), stable);
  return stable;
}

// Whether one of the item's candidates in the empty box stands stably. Repeated extents, which the
// candidate list leaves out, do not change the answer, so the orientations are tested directly.
bool OrientationChooser::computeStable(const ItemRef& item) const {
  return anyFittingOrientation(*item, box_->width(), box_->length(), box_->depth(),
                               [](int, const OrientedItem::Extents& e) {
                                 return OrientedItem::isStable(e.width, e.length, e.depth);
                               });
}

std::optional<OrientedItem> OrientationChooser::chooseOrientation(
    const ItemRef& item, const OrientedItem* previous, const ItemStack& nextItems,
    double freeWidth, double freeLength, double freeDepth, double rowLength,
    bool checkStability) {
  // The list of this chooser's previous choice is reused: a choice never nests inside another
  // of the same chooser (the lookahead's trial fills have choosers of their own).
  std::vector<OrientedItem>& candidates = scratch_;
  collectCandidates(item, previous, freeWidth, freeLength, freeDepth, candidates);
  if (checkStability) keepStableIn(item, candidates);
  if (candidates.empty()) return std::nullopt;
  OrientationRanking ranking(*this, lookaheadDisabled_, freeWidth, freeLength, freeDepth,
                             nextItems, rowLength);
  return std::move(firstRanked(candidates, ranking,
                               allFinite(candidates, freeWidth, freeLength, freeDepth),
                               shortcuts_.chooserPicksFirstRankedInOnePass));
}

}  // namespace varbex
