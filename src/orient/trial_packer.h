#pragma once

#include "model/box.h"
#include "model/filled_box.h"
#include "model/item_pool.h"

namespace varbex {

// "Trial-pack these items into this volume": the lookahead needs the volume filler, which lives
// above this folder, so the filler implements this and hands it down.
class TrialPacker {
 public:
  virtual ~TrialPacker() = default;
  // Packs the pool into the volume quickly, without looking ahead; the pool is left unchanged.
  virtual FilledBox trialPack(const BoxRef& volume, const ItemPool& pool) const = 0;

  // Trial-packs the pool into the volume and takes what was placed out of the pool. A packer that
  // knows what a trial places without making it may answer so.
  virtual void packAndRemove(const BoxRef& volume, ItemPool& pool) const {
    pool.removePlaced(trialPack(volume, pool).items());
  }
};

}  // namespace varbex
