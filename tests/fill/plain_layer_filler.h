#pragma once

#include <utility>

#include "fill/layer_filler.h"
#include "model/box.h"
#include "orient/orientation_chooser.h"

namespace varbex {

// The chooser is a base listed first, so that it is made before the filler is handed it.
struct ChooserWithoutLookahead {
  explicit ChooserWithoutLookahead(BoxRef box) : chooser(std::move(box)) {
    chooser.setLookaheadDisabled(true);
  }
  OrientationChooser chooser;
};

// The plain layer filler with a plain chooser of its own, lookahead off.
class PlainLayerFiller : private ChooserWithoutLookahead, public LayerFiller {
 public:
  explicit PlainLayerFiller(BoxRef box)
      : ChooserWithoutLookahead(std::move(box)), LayerFiller(chooser) {}
};

}  // namespace varbex
