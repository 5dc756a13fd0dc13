#include "solver/whole_box_packing.h"

#include "fill/volume_filler.h"

namespace varbex {

std::optional<FilledBox> packWhole(const ItemPool& pool, const BoxRef& box,
                                   const Shortcuts& shortcuts) {
  VolumeFiller filler(box, shortcuts);
  filler.setWholeOrNothing(true);
  FilledBox filled = filler.fill(pool);
  if (filled.itemCount() != pool.size()) return std::nullopt;
  return filled;
}

}  // namespace varbex
