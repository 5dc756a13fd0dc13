#include "fill/lookahead_packer_shortcuts.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "fill/room.h"
#include "fill/trial_fill_memo.h"

namespace varbex {
namespace {

// Bit k set when the item at position k of `items` was placed; an item object listed twice
// takes its positions in order.
TrialFillMemo::Placed placedPositions(const std::vector<ItemRef>& items, const FilledBox& filled) {
  TrialFillMemo::Placed placed = 0;
  for (const PlacedItem& p : filled.items()) {
    for (std::size_t k = 0; k < items.size(); ++k) {
      const auto bit = static_cast<TrialFillMemo::Placed>(1u << k);
      if (!(placed & bit) && items[k].get() == p.item.get()) {
        placed |= bit;
        break;
      }
    }
  }
  return placed;
}

}  // namespace

void LookaheadPackerWithShortcuts::packAndRemove(const BoxRef& volume, ItemPool& pool) const {
  if (shortcuts().lookaheadSkipsHopelessFills && answerWithoutFilling(*volume, pool)) return;
  if (shortcuts().trialFillMemo) {
    packRemembered(volume, pool);
    return;
  }
  LookaheadPacker::packAndRemove(volume, pool);
}

// The memo's key holds everything the quick fill looks at, so a known key places what the fill
// placed the first time.
void LookaheadPackerWithShortcuts::packRemembered(const BoxRef& volume, ItemPool& pool) const {
  const std::vector<ItemRef>& items = pool.sorted();
  const std::optional<TrialFillKey> key = trialFillKeyOf(*volume, items);
  if (!key) {
    LookaheadPacker::packAndRemove(volume, pool);
    return;
  }
  TrialFillMemo& memo = TrialFillMemo::forThisThread();
  TrialFillMemo::Placed placed = 0;
  if (const TrialFillMemo::Placed* known = memo.find(*key)) {
    placed = *known;
  } else {
    placed = placedPositions(items, trialPack(volume, pool));
    memo.insert(*key, placed);
  }
  // Removing items changes the pool's sorted view, so the items go by address.
  std::array<const Item*, TrialFillKey::kMaxItems> taken{};
  std::size_t count = 0;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (placed & (1u << k)) taken[count++] = items[k].get();
  }
  for (std::size_t k = 0; k < count; ++k) pool.removeItem(taken[k]);
}

//  - No item fits the empty volume somehow: nothing is ever placed, since a fill only offers
//    rooms inside the volume until it places something.
//  - Exactly one item fits, the volume carries any weight, every item's extents are
//    non-negative (so no room offered later is larger than the empty volume) and no other item
//    has its shape (so no item that does not fit takes it out of the row as a copy of its
//    shape): the fill places that item in the corner, as no orientation that fits would stand
//    and the stability filter then keeps them all, and nothing else.
bool LookaheadPackerWithShortcuts::answerWithoutFilling(const Box& volume, ItemPool& pool) {
  const std::vector<ItemRef>& items = pool.sorted();
  const Room room(volume.width(), volume.length(), volume.depth());
  const Item* onlyFitting = nullptr;
  std::size_t fitting = 0;
  for (const ItemRef& item : items) {
    if (fitsSomehow(*item, room) && ++fitting == 1) onlyFitting = item.get();
  }
  if (fitting == 0) return true;
  if (fitting > 1 || volume.payloadCapacity() >= 0) return false;
  const SortedTriple shape = shapeOf(*onlyFitting);
  for (const ItemRef& item : items) {
    if (!hasNonNegativeExtents(*item)) return false;
    if (item.get() != onlyFitting && shapeOf(*item) == shape) return false;
  }
  pool.removeItem(onlyFitting);
  return true;
}

}  // namespace varbex
