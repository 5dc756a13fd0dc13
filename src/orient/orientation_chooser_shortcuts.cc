#include "orient/orientation_chooser_shortcuts.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "orient/orientation_ranking.h"

namespace varbex {
namespace {

bool allFinite(const std::vector<OrientedItem>& candidates, double freeWidth, double freeLength,
               double freeDepth) {
  return std::isfinite(freeWidth) && std::isfinite(freeLength) && std::isfinite(freeDepth) &&
         std::all_of(candidates.begin(), candidates.end(), [](const OrientedItem& o) {
           return std::isfinite(o.width) && std::isfinite(o.length) && std::isfinite(o.depth);
         });
}

}  // namespace

// With every extent a finite number, the ranking compares the candidates step by step on values
// of each one's own, so the first of a stable sort is the earliest candidate that no other ranks
// strictly before, and one pass finds it. A difference that is not a number (infinite extents)
// ties with everything and breaks that order; then the candidates are sorted.
OrientedItem& OrientationChooserWithShortcuts::firstRankedOf(std::vector<OrientedItem>& candidates,
                                                             OrientationRanking& ranking,
                                                             double freeWidth, double freeLength,
                                                             double freeDepth) {
  if (!shortcuts().chooserPicksFirstRankedInOnePass ||
      !allFinite(candidates, freeWidth, freeLength, freeDepth)) {
    return OrientationChooser::firstRankedOf(candidates, ranking, freeWidth, freeLength,
                                             freeDepth);
  }
  std::size_t first = 0;
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    if (ranking.compare(candidates[i], candidates[first]) < 0) first = i;
  }
  return candidates[first];
}

// Two shapes share a numeric key exactly when their "%f" texts are equal (shape_key.h), so the
// memo answers as the one keyed by text does, without formatting any text. Values beyond the
// numeric key's range keep the text key.
bool OrientationChooserWithShortcuts::stableForShape(const ItemRef& item) {
  if (!shortcuts().stabilityMemoKeyedByValues) return OrientationChooser::stableForShape(item);
  const std::optional<ShapeKey> key = shapeKeyOf(*item, box());
  if (!key) return OrientationChooser::stableForShape(item);
  const auto found = stableByShape_.find(*key);
  if (found != stableByShape_.end()) return found->second;
  const bool stable = computeStable(item);
  stableByShape_.emplace(*key, stable);
  return stable;
}

}  // namespace varbex
