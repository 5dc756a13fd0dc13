#include "orient/orientation_chooser.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "orient/orientation_ranking.h"
#include "orient/shape_key.h"

namespace varbex {
namespace {

bool fits(const OrientedItem& o, double freeWidth, double freeLength, double freeDepth) {
  return freeWidth >= o.width && freeLength >= o.length && freeDepth >= o.depth;
}

// The first orientation k (in the fixed order) of those the item's policy allows for which
// test(k, extents) holds, or -1.
template <typename Test>
int firstAllowedOrientation(const Item& item, Test test) {
  return withItemData(item, [&test](const auto& i) {
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

bool OrientationChooser::stableForShape(const ItemRef& item) {
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
    const ItemRef& item, const OrientedItem* previous, ItemStackView nextItems,
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
  return std::move(firstRankedOf(candidates, ranking, freeWidth, freeLength, freeDepth));
}

OrientedItem& OrientationChooser::firstRankedOf(std::vector<OrientedItem>& candidates,
                                                OrientationRanking& ranking, double, double,
                                                double) {
  return firstRanked(candidates, ranking);
}

}  // namespace varbex
