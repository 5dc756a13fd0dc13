#include "orient/lookahead_shortcuts.h"

namespace varbex {

std::int32_t answerLookaheadWithShortcuts(const LookaheadQuestion& question,
                                          const OrientedItem& candidate, const TrialPacker& packer,
                                          LookaheadShared* shared, const Shortcuts& shortcuts) {
  if (!shortcuts.lookaheadKeysRoundedInline) {
    return answerLookahead(question, candidate, packer, shared);
  }
  return answerLookaheadRoundedBy(question, candidate, packer, shared, MicrosRoundedInline{});
}

}  // namespace varbex
