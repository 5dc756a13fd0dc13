#pragma once

#include "fill/lookahead_packer.h"

namespace varbex {

// The lookahead's trial fills with their two shortcuts: a fill whose answer is plain from the
// items' sizes is not made, and what a fill placed is remembered per thread by its exact content
// (the space in front of a row is the same for every candidate of the same length). Each falls
// back on the plain fill of LookaheadPacker when it is off or does not apply.
class LookaheadPackerWithShortcuts final : public LookaheadPacker {
 public:
  using LookaheadPacker::LookaheadPacker;

  void packAndRemove(const BoxRef& volume, ItemPool& pool) const override;

  // Very often no item fits the volume at all (a narrow strip beside a candidate), or just one
  // does. Then the fill's answer is known without making it, and the pool is updated as the fill
  // would have left it; false when the fill has to be made.
  static bool answerWithoutFilling(const Box& volume, ItemPool& pool);

 private:
  void packRemembered(const BoxRef& volume, ItemPool& pool) const;
};

}  // namespace varbex
