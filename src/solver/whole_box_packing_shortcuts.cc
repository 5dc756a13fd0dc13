#include "solver/whole_box_packing_shortcuts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "fill/room.h"

namespace varbex {
namespace {

// True when some item fits the empty box in no allowed orientation, the box unturned or turned,
// even with room to spare for rounding: the fill cannot place it, so it cannot place them all.
// Every room a fill offers lies inside the box while no item has a negative extent (rows only move
// forward, floors only rise), up to rounding of the positions, which the slack covers; a negative
// extent moves a row back or lowers a floor, and then the fill has to be made.
bool cannotFitWhole(const std::vector<ItemRef>& items, const Box& box) {
  double magnitude = std::fabs(box.width()) + std::fabs(box.length()) + std::fabs(box.depth());
  for (const ItemRef& item : items) {
    if (!hasNonNegativeExtents(*item)) return false;
    magnitude += item->width() + item->length() + item->depth();
  }
  if (!std::isfinite(magnitude)) return false;
  // A fill's positions are sums of at most all the extents: each rounding is far below 1e-9 of it.
  const double slack = magnitude * 1e-9;
  const Room room(box.width() + slack, box.length() + slack, box.depth() + slack);
  const Room turned(box.length() + slack, box.width() + slack, box.depth() + slack);
  return std::any_of(items.begin(), items.end(), [&room, &turned](const ItemRef& item) {
    return !fitsSomehow(*item, room) && !fitsSomehow(*item, turned);
  });
}

}  // namespace

// A re-pack looks at the content of the box alone, so the same content packs the same way
// (content_fit_memo.h says what the key holds).
std::optional<FilledBox> packWholeWithShortcuts(const std::vector<ItemRef>& items,
                                                const BoxRef& box, const Shortcuts& shortcuts,
                                                ContentFitMemo& memo, const ItemRanks& ranks) {
  std::optional<ItemPool> pool;
  std::vector<ItemRef> byRank;
  std::vector<std::uint32_t> contents;
  const bool sortedByRank =
      shortcuts.balancingSortsByRank && ranks.sortInto(items, byRank, contents);
  if (!sortedByRank) pool.emplace(wholeBoxPool(items));
  const std::vector<ItemRef>& sorted = sortedByRank ? byRank : pool->sorted();

  std::optional<ContentFitMemo::Key> contentKey;
  if (shortcuts.contentFitMemo) {
    contentKey = sortedByRank ? ContentFitMemo::keyOfContents(contents, *box)
                              : ContentFitMemo::keyOf(sorted, *box);
  }
  if (contentKey) {
    if (std::optional<std::optional<FilledBox>> known = memo.find(*contentKey, sorted)) {
      return std::move(*known);
    }
  }
  std::optional<FilledBox> result;
  if (!(shortcuts.wholeOrNothingStopsEarly && cannotFitWhole(sorted, *box))) {
    if (!pool) pool.emplace(wholeBoxPool(items));  // it sorts its items as `byRank` holds them
    result = packWhole(*pool, box, shortcuts);
  }
  if (contentKey) memo.insert(std::move(*contentKey), sorted, result);
  return result;
}

}  // namespace varbex
