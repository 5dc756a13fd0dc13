#pragma once

#include <unordered_map>
#include <utility>
#include <vector>

#include "base/engine_options.h"
#include "orient/orientation_chooser.h"
#include "orient/shape_key.h"

namespace varbex {

// The orientation chooser with its two shortcuts: the first-ranked candidate is found in one
// pass instead of by sorting them all (chooserPicksFirstRankedInOnePass), and the stability memo
// is keyed by the shape's values instead of their texts (stabilityMemoKeyedByValues). Each falls
// back on the plain step of OrientationChooser when it is off or does not apply.
class OrientationChooserWithShortcuts final : public OrientationChooser {
 public:
  explicit OrientationChooserWithShortcuts(BoxRef box, const TrialPacker* packer = nullptr,
                                           const Shortcuts& shortcuts = {})
      : OrientationChooser(std::move(box), packer, shortcuts) {}

  std::size_t stableShapeCacheSize() const override {
    return stableByShape_.size() + OrientationChooser::stableShapeCacheSize();
  }

 protected:
  bool stableForShape(const ItemRef& item) override;
  OrientedItem& firstRankedOf(std::vector<OrientedItem>& candidates, OrientationRanking& ranking,
                              double freeWidth, double freeLength, double freeDepth) override;

 private:
  // The memo keyed by numbers; shapes with values beyond the numeric key's range, which no
  // numeric key can equal, stay with the plain memo keyed by text.
  std::unordered_map<ShapeKey, bool, ShapeKeyHash> stableByShape_;
};

}  // namespace varbex
