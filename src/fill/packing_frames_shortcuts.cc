#include "fill/packing_frames_shortcuts.h"

namespace varbex {

PackingFrames packingFramesWithShortcuts(const Box& box, const std::vector<ItemRef>& items,
                                         bool lookaheadMode, const Shortcuts& shortcuts) {
  PackingFrames frames = packingFrames(box, items, lookaheadMode);
  if (shortcuts.squareBoxNotTurned && box.width() == box.length() && frames.size() == 2) {
    frames.pop_back();
  }
  return frames;
}

}  // namespace varbex
