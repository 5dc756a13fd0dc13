#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/box_pool.h"
#include "model/filled_box.h"
#include "model/filled_box_list.h"
#include "model/item_pool.h"
#include "solver/balancing_states.h"
#include "solver/content_fit_memo.h"
#include "solver/item_ranks.h"

namespace varbex {

// Evens out the item loads of filled boxes: moves one ungrouped item at a time from a heavier to
// a lighter box, re-packing both from scratch (possibly into other box types), while the move
// strictly narrows their gap without lifting the lighter box above the mean load. Stops when a
// sweep over all pairs finds no move, when a move returns to a state it has been in, or after
// 250 ms.
class WeightBalancer {
 public:
  using Available = std::unordered_map<const Box*, std::int64_t>;
  using DeadlineTest = std::function<bool()>;

  explicit WeightBalancer(BoxPool boxes, const EngineOptions& options = {});

  FilledBoxList balance(const FilledBoxList& list);

  // Moves one item between work[f] and work[i]; true when it did (work and available updated).
  bool moveOneItem(std::vector<FilledBox>& work, std::size_t f, std::size_t i, double targetLoad,
                   Available& available, const DeadlineTest& deadlinePassed);

  // The smallest active box type with a box left that packs all the items; `preferred` counts
  // one extra because the caller gives up a box of that type.
  std::optional<FilledBox> boxFor(const std::vector<ItemRef>& items, const Box* preferred,
                                  const Available& counts);

  // The packing of all the items into one box of type `box`, or nothing when some item stays out.
  std::optional<FilledBox> fitsWhole(const std::vector<ItemRef>& items, const BoxRef& box);

  static constexpr std::chrono::nanoseconds kTimeBudget{250'000'000};

 private:
  using FitKey = std::pair<std::vector<const Item*>, const Box*>;
  struct FitKeyHash {
    std::size_t operator()(const FitKey& key) const;
  };

  bool undoesLastMove(double weight, std::size_t from, std::size_t to) const;

  BoxPool boxes_;
  EngineOptions options_;
  BalancingMove lastMove_;
  // Hashed, not ordered: its lookups compare long item lists, and nothing walks it in order.
  std::unordered_map<FitKey, std::optional<FilledBox>, FitKeyHash> fitMemo_;
  // Behind fitMemo_: the same packings found for other objects of the same content.
  ContentFitMemo contentFits_;
  // The ranks of the items being balanced in the item order, for sorting re-pack lists.
  ItemRanks ranks_;
};

}  // namespace varbex
