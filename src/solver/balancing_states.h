#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "model/filled_box.h"

namespace varbex {

// The last move balancing made: a weight and the work-list positions it went from and to. Part of
// the state because it bars the straight move back.
struct BalancingMove {
  double weight = 0;
  std::size_t from = 0;
  std::size_t to = 0;
  bool made = false;
};

// The states weight balancing has been in. A state (for each work-list position its box type and
// the identities of its items in placement order, with the last move) decides every later move,
// because the re-packs of one balancing are memoised. In exact arithmetic every move narrows a
// gap, so no state comes back; rounding can let one through, and then the sweeps would only go
// round the same cycle until the deadline.
class BalancingStates {
 public:
  // Records the state; false when it had been recorded before.
  bool visit(const std::vector<FilledBox>& work, const BalancingMove& lastMove);

  std::size_t size() const { return seen_.size(); }

 private:
  using State = std::vector<std::uint64_t>;
  struct StateHash {
    std::size_t operator()(const State& state) const;
  };

  std::unordered_set<State, StateHash> seen_;
};

}  // namespace varbex
