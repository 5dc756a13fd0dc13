#include "solver/whole_box_packing.h"

#include <memory>

#include "fill/volume_filler.h"
#include "model/item_sorter.h"

namespace varbex {

ItemPool wholeBoxPool(const std::vector<ItemRef>& items) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  pool.reserve(items.size());
  for (const ItemRef& item : items) pool.add(item);
  return pool;
}

std::optional<FilledBox> packWhole(const ItemPool& pool, const BoxRef& box,
                                   const Shortcuts& shortcuts) {
  VolumeFiller filler(box, shortcuts);
  filler.setWholeOrNothing(true);
  FilledBox filled = filler.fill(pool);
  if (filled.itemCount() != pool.size()) return std::nullopt;
  return filled;
}

}  // namespace varbex
