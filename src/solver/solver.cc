#include "solver/solver.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "base/portable_sort.h"
#include "model/packed_box_sorter.h"
#include "model/packing_attempt.h"
#include "solver/box_chooser.h"
#include "solver/weight_balancer.h"
#include "solver/work_budget.h"

namespace varbex {
namespace {

constexpr std::size_t kMaxStarts = 4;
constexpr std::int64_t kBudgetFactor = 3;
constexpr std::size_t kFewestBoxesToBalance = 2;
constexpr std::size_t kMostBoxesToBalance = 12;

std::vector<BoxRef> activeBoxTypes(const BoxPool& boxes) {
  std::vector<BoxRef> active;
  for (const BoxRef& box : boxes.sorted()) {
    if (box->isActive()) active.push_back(box);
  }
  return active;
}

// Fewer unplaced items, then fewer boxes; strict, so the earlier packing wins a tie.
bool isBetterAttempt(const PackingAttempt& a, const PackingAttempt& best) {
  if (a.unplaced.size() != best.unplaced.size()) return a.unplaced.size() < best.unplaced.size();
  return a.filled.size() < best.filled.size();
}

// One start: group `first` with the ungrouped items, then every other group alone.
bool runStart(const BoxChooser& chooser, const ItemPool& items,
              const std::vector<std::string>& groups, std::size_t first,
              const std::vector<BoxRef>& boxTypes, PackingAttempt& attempt,
              const WorkBudget& budget) {
  if (!chooser.packBounded(Solver::itemsForGroup(items, groups[first], true), boxTypes, attempt,
                           budget)) {
    return false;
  }
  for (std::size_t j = 0; j < groups.size(); ++j) {
    if (j == first) continue;
    if (!chooser.packBounded(Solver::itemsForGroup(items, groups[j], false), boxTypes, attempt,
                             budget)) {
      return false;
    }
  }
  return true;
}

}  // namespace

PackingOutcome::PackingOutcome()
    : filledBoxes(std::make_shared<DefaultPackedBoxSorter>()),
      unplacedItems(std::make_shared<DefaultItemSorter>()) {}

std::vector<std::string> Solver::groupOrder(const ItemPool& items) {
  const auto counts = items.groupCounts();
  std::vector<std::pair<std::string, std::int32_t>> groups(counts.begin(), counts.end());
  portableSort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
    if (a.second != b.second) return a.second > b.second;
    return a.first < b.first;
  });
  std::vector<std::string> names;
  names.reserve(groups.size());
  for (auto& group : groups) names.push_back(std::move(group.first));
  return names;
}

ItemPool Solver::itemsForGroup(const ItemPool& items, const std::string& group,
                               bool includeUngrouped) {
  ItemPool pool(items.sorter());
  for (const ItemRef& item : items.sorted()) {
    const std::string* itemGroup = boxGroupOf(*item);
    if (itemGroup ? *itemGroup == group : includeUngrouped) pool.add(item);
  }
  return pool;
}

PackingOutcome Solver::solve(const ItemPool& items, const BoxPool& boxes) const {
  const std::vector<BoxRef> boxTypes = activeBoxTypes(boxes);
  PackingAttempt best;
  const BoxChooser chooser(options_.shortcuts);
  chooser.packAll(items, boxTypes, best);

  const std::vector<std::string> groups = groupOrder(items);
  if (groups.size() >= 2) {
    WorkBudget budget{0, kBudgetFactor * best.work, best};
    for (std::size_t i = 0; i < kMaxStarts && i < groups.size() && budget.spent < budget.limit;
         ++i) {
      PackingAttempt attempt;
      const bool ok = runStart(chooser, items, groups, i, boxTypes, attempt, budget);
      budget.spent += attempt.work;
      if (ok && isBetterAttempt(attempt, best)) best = std::move(attempt);
    }
  }

  FilledBoxList filled(std::make_shared<DefaultPackedBoxSorter>());
  for (FilledBox& box : best.filled) filled.add(std::move(box));
  const std::size_t boxCount = filled.size();
  if (boxCount >= kFewestBoxesToBalance && boxCount <= kMostBoxesToBalance) {
    filled = WeightBalancer(boxes, options_).balance(filled);
  }

  ItemPool unplaced(items.sorter());
  for (ItemRef& item : best.unplaced) unplaced.add(std::move(item));

  PackingOutcome outcome;
  outcome.success = unplaced.isEmpty();
  outcome.filledBoxes = std::move(filled);
  outcome.unplacedItems = std::move(unplaced);
  return outcome;
}

}  // namespace varbex
