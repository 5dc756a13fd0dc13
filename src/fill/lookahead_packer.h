#pragma once

#include "base/engine_options.h"
#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"
#include "orient/trial_packer.h"

namespace varbex {

// The lookahead's trial fills: a volume filler in lookahead mode, one quick trial per question.
// Handed down to the orientation choices of every volume filler, since orient/ cannot reach up to
// the filler itself.
class LookaheadPacker : public TrialPacker {
 public:
  explicit LookaheadPacker(const Shortcuts& shortcuts = {}) : shortcuts_(shortcuts) {}

  // What fill makes of a pool in lookahead mode, its one trial, but without putting the items in
  // reading order: the lookahead only counts and removes them.
  FilledBox trialPack(const BoxRef& volume, const ItemPool& pool) const override;

 protected:
  const Shortcuts& shortcuts() const { return shortcuts_; }

 private:
  Shortcuts shortcuts_;
};

}  // namespace varbex
