#include "solver/box_chooser.h"

#include <optional>
#include <utility>

#include "fill/volume_filler.h"

namespace varbex {
namespace {

// More items; then higher utilisation (a NaN never wins); then more used volume. Strict, so on a
// complete tie the box type earlier in the list stays.
bool isBetterTrial(const FilledBox& trial, const FilledBox& choice) {
  if (trial.itemCount() != choice.itemCount()) return trial.itemCount() > choice.itemCount();
  const double trialUtilisation = trial.volumeUtilisation();
  const double choiceUtilisation = choice.volumeUtilisation();
  if (trialUtilisation != choiceUtilisation) return trialUtilisation > choiceUtilisation;
  return trial.usedVolume() > choice.usedVolume();
}

bool supplyExhausted(const Box& box, PackingAttempt& attempt) {
  const LimitedSupplyBox* limited = asLimitedSupply(box);
  return limited && attempt.boxesUsed[box.reference()] >= limited->maximumBoxes();
}

bool mustGiveUp(const PackingAttempt& attempt, const WorkBudget& budget) {
  if (attempt.work + budget.spent >= budget.limit) return true;
  // Needing one more box, this attempt can no longer beat a best one that placed everything.
  return budget.best.unplaced.empty() && attempt.filled.size() >= budget.best.filled.size();
}

std::optional<FilledBox> chooseBox(const ItemPool& pool, const std::vector<BoxRef>& boxTypes,
                                   PackingAttempt& attempt, const Shortcuts& shortcuts) {
  std::optional<FilledBox> choice;
  for (const BoxRef& box : boxTypes) {
    if (supplyExhausted(*box, attempt)) continue;
    attempt.work += 1;
    FilledBox trial =
        BoxChooser::keepOneGroup(VolumeFiller(box, shortcuts).fill(pool), pool, shortcuts);
    if (trial.itemCount() == 0) continue;
    if (!choice || isBetterTrial(trial, *choice)) choice = std::move(trial);
    if (choice->itemCount() == pool.size()) break;
  }
  return choice;
}

}  // namespace

void BoxChooser::packAll(ItemPool pool, const std::vector<BoxRef>& boxTypes,
                         PackingAttempt& attempt) const {
  pass(std::move(pool), boxTypes, attempt, nullptr);
}

bool BoxChooser::packBounded(ItemPool pool, const std::vector<BoxRef>& boxTypes,
                             PackingAttempt& attempt, const WorkBudget& budget) const {
  return pass(std::move(pool), boxTypes, attempt, &budget);
}

bool BoxChooser::pass(ItemPool pool, const std::vector<BoxRef>& boxTypes,
                      PackingAttempt& attempt, const WorkBudget* budget) const {
  while (!pool.isEmpty()) {
    if (budget && mustGiveUp(attempt, *budget)) return false;
    std::optional<FilledBox> choice = chooseBox(pool, boxTypes, attempt, shortcuts_);
    if (!choice) break;
    pool.removePlaced(choice->items());
    attempt.boxesUsed[choice->box()->reference()] += 1;
    attempt.filled.push_back(std::move(*choice));
  }
  for (const ItemRef& item : pool.sorted()) attempt.unplaced.push_back(item);
  return true;
}

FilledBox BoxChooser::keepOneGroup(FilledBox trial, const ItemPool& pool,
                                   const Shortcuts& shortcuts) {
  if (!pool.hasLinkedItems()) return trial;
  const auto counts = groupCounts(trial.items());
  if (counts.size() <= 1) return trial;
  const std::string* chosen = nullptr;
  for (const ItemRef& item : pool.sorted()) {
    const std::string* group = boxGroupOf(*item);
    if (group && counts.count(*group)) {
      chosen = group;
      break;
    }
  }
  if (!chosen) return trial;
  ItemPool restricted(pool.sorter());
  for (const ItemRef& item : pool.sorted()) {
    const std::string* group = boxGroupOf(*item);
    if (!group || *group == *chosen) restricted.add(item);
  }
  return VolumeFiller(trial.box(), shortcuts).fill(restricted);
}

}  // namespace varbex
