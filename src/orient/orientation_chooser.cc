#include "orient/orientation_chooser.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "orient/orientation_ranking.h"

namespace varbex {
namespace {

bool fits(const OrientedItem& o, double freeWidth, double freeLength, double freeDepth) {
  return freeWidth >= o.width && freeLength >= o.length && freeDepth >= o.depth;
}

bool sameExtents(const OrientedItem& a, const OrientedItem& b) {
  return a.width == b.width && a.length == b.length && a.depth == b.depth;
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

// The orientation of `item` that has exactly the extents of `previous`, when the item's own
// policy allows one; the code is the item's own (the first that gives those extents).
std::optional<OrientedItem> sameOrientationAs(const ItemRef& item, const OrientedItem& previous) {
  for (OrientedItem& o : OrientedItem::allowedOrientations(item)) {
    if (sameExtents(o, previous)) return std::move(o);
  }
  return std::nullopt;
}

}  // namespace

OrientationChooser::OrientationChooser(BoxRef box, const TrialPacker* packer)
    : box_(std::move(box)), packer_(packer) {}

std::vector<OrientedItem> OrientationChooser::candidateOrientations(
    const ItemRef& item, const OrientedItem* previous, double freeWidth, double freeLength,
    double freeDepth) const {
  std::vector<OrientedItem> raw;
  std::optional<OrientedItem> same;
  // A copy of the previous item keeps the row uniform by taking the same orientation, but only
  // one its own policy allows and under its own code: copying the code as it stands would turn a
  // "Never" item, or write "WLD" for an item whose sides lie in another order.
  if (previous && previous->hasSameShape(item)) same = sameOrientationAs(item, *previous);
  if (same) {
    raw.push_back(std::move(*same));
  } else {
    raw = OrientedItem::allowedOrientations(item);
  }
  std::vector<OrientedItem> kept;
  kept.reserve(raw.size());
  for (OrientedItem& candidate : raw) {
    if (!fits(candidate, freeWidth, freeLength, freeDepth)) continue;
    const bool repeated = std::any_of(kept.begin(), kept.end(), [&](const OrientedItem& k) {
      return sameExtents(k, candidate);
    });
    if (!repeated) kept.push_back(std::move(candidate));
  }
  return kept;
}

std::vector<OrientedItem> OrientationChooser::keepStable(const ItemRef& item,
                                                         std::vector<OrientedItem> candidates) {
  std::vector<OrientedItem> accepted;
  std::vector<OrientedItem> setAside;
  for (OrientedItem& candidate : candidates) {
    // Reaching from the floor to the lid, an item cannot tip over.
    if (candidate.isStable() || candidate.depth == box_->depth()) {
      accepted.push_back(std::move(candidate));
    } else {
      setAside.push_back(std::move(candidate));
    }
  }
  if (!accepted.empty()) return accepted;
  if (setAside.empty()) return {};
  if (hasStableOrientation(item)) return {};
  return setAside;
}

std::string OrientationChooser::shapeKey(const Item& item) const {
  char text[4096];
  std::snprintf(text, sizeof text, "%f|%f|%f|%d|%f|%f|%f", item.width(), item.length(),
                item.depth(), static_cast<int>(item.rotationPolicy()), box_->width(),
                box_->length(), box_->depth());
  return text;
}

bool OrientationChooser::hasStableOrientation(const ItemRef& item) {
  std::string key = shapeKey(*item);
  const auto found = stableShapeCache_.find(key);
  if (found != stableShapeCache_.end()) return found->second;
  const std::vector<OrientedItem> candidates =
      candidateOrientations(item, nullptr, box_->width(), box_->length(), box_->depth());
  const bool stable = std::any_of(candidates.begin(), candidates.end(),
                                  [](const OrientedItem& o) { return o.isStable(); });
  stableShapeCache_.emplace(std::move(key), stable);
  return stable;
}

std::optional<OrientedItem> OrientationChooser::chooseOrientation(
    const ItemRef& item, const OrientedItem* previous, const ItemStack& nextItems,
    double freeWidth, double freeLength, double freeDepth, double rowLength,
    bool checkStability) {
  std::vector<OrientedItem> candidates =
      candidateOrientations(item, previous, freeWidth, freeLength, freeDepth);
  if (checkStability) candidates = keepStable(item, std::move(candidates));
  if (candidates.empty()) return std::nullopt;
  OrientationRanking ranking(*this, lookaheadDisabled_, freeWidth, freeLength, freeDepth,
                             nextItems, rowLength);
  rankCandidates(candidates, ranking);
  return std::move(candidates.front());
}

}  // namespace varbex
