#include "fill/lookahead_packer.h"

#include <optional>
#include <vector>

#include "fill/volume_filler.h"

namespace varbex {

FilledBox LookaheadPacker::trialPack(const BoxRef& volume, const ItemPool& pool) const {
  VolumeFiller filler(volume, shortcuts_);
  filler.setLookaheadMode(true);
  const std::vector<ItemRef>& items = pool.sorted();
  if (items.empty()) return FilledBox(volume);
  return filler.fillOriented(volume->width(), volume->length(), std::nullopt, items);
}

}  // namespace varbex
