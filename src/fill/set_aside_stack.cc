#include "fill/set_aside_stack.h"

#include <algorithm>
#include <utility>

namespace varbex {

void SetAsideStack::putBack(std::size_t mark) {
  // Below the mark are only this region's set-aside items and the gaps of items taken out while
  // it was open: the regions inside it have put theirs back and closed.
  std::size_t kept = std::min(firstGap_, mark);
  while (kept < mark && items_[kept]) ++kept;
  for (std::size_t i = kept; i < mark; ++i) {
    if (items_[i]) items_[kept++] = std::move(items_[i]);
  }
  toTry_ = kept;
  firstGap_ = kept;
}

}  // namespace varbex
