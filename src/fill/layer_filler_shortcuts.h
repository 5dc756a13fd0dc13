#pragma once

// The layer filler's shortcuts: regions that would change nothing are passed over
// (LayerFiller::passesOver, in layer_filler_shortcuts.cc), and the chooser is not asked about
// items that fit the free room in no way (below, inline: it runs for every item tried).
#include "fill/layer_filler.h"
#include "fill/room.h"

namespace varbex {

// Most items tried at a position fit there in no orientation at all; the chooser would find no
// candidate for them, so it is asked only about the others.
inline bool LayerFiller::mayHaveCandidate(const Item& item, const Room& room) const {
  return !shortcuts_.chooserAsksFittingItemsOnly || fitsSomehow(item, room);
}

}  // namespace varbex
