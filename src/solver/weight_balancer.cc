#include "solver/weight_balancer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/portable_sort.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "model/packed_box_sorter.h"
#include "solver/balancing_stats.h"
#include "solver/whole_box_packing_shortcuts.h"

namespace varbex {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kUnlimitedSupply = 4611686018427387903;  // 2^62 - 1

std::vector<ItemRef> itemsIn(const FilledBox& box) {
  std::vector<ItemRef> items;
  items.reserve(box.itemCount());
  for (const PlacedItem& placed : box.items()) items.push_back(placed.item);
  return items;
}

std::vector<ItemRef> placedItemsOf(const std::vector<FilledBox>& boxes) {
  std::vector<ItemRef> items;
  for (const FilledBox& box : boxes) {
    for (const PlacedItem& placed : box.items()) items.push_back(placed.item);
  }
  return items;
}

WeightBalancer::Available initialSupply(const BoxPool& boxes, const FilledBoxList& list) {
  WeightBalancer::Available available;
  for (const BoxRef& box : boxes.sorted()) {
    const LimitedSupplyBox* limited = asLimitedSupply(*box);
    available[box.get()] = limited ? limited->maximumBoxes() : kUnlimitedSupply;
  }
  for (const FilledBox& filled : list.sorted()) available[filled.box().get()] -= 1;
  return available;
}

// Whether moving an item of weight w from the heavier load to the lighter one strictly narrows
// their gap, computed exactly as the half-differences are written.
bool narrowsGap(double heavy, double light, double w) {
  const double before = heavy - (light + heavy) * 0.5;
  const double after = (heavy - w) - ((w + light) + (heavy - w)) * 0.5;
  return after * after < before * before;
}

}  // namespace

WeightBalancer::WeightBalancer(BoxPool boxes, const EngineOptions& options)
    : boxes_(std::move(boxes)), options_(options) {}

FilledBoxList WeightBalancer::balance(const FilledBoxList& list) {
  lastMove_ = BalancingMove{};
  const double targetLoad = list.meanItemWeight();
  Available available = initialSupply(boxes_, list);
  std::vector<FilledBox> work(list.sorted().begin(), list.sorted().end());
  // Balancing only moves these items between boxes, so their ranks hold for the whole run. The
  // content memo's keys may name the content numbers of an earlier run, so it starts afresh.
  ranks_ = options_.shortcuts.balancingSortsByRank ? ItemRanks(placedItemsOf(work)) : ItemRanks();
  contentFits_ = ContentFitMemo();
  portableSort(work.begin(), work.end(), [](const FilledBox& a, const FilledBox& b) {
    return a.totalWeight() > b.totalWeight();
  });

  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + options_.balancingBudget;
  const Clock::time_point usualDeadline = start + kTimeBudget;
  bool passedUsualDeadline = false;
  bool stopped = false;
  const DeadlineTest deadlinePassed = [&] {
    if (stopped) return true;
    const Clock::time_point now = Clock::now();
    passedUsualDeadline = passedUsualDeadline || now >= usualDeadline;
    stopped = now >= deadline;
    return stopped;
  };
  BalancingStates states;
  states.visit(work, lastMove_);
  bool returned = false;
  bool moved = true;
  while (moved && !returned && !deadlinePassed() && !work.empty()) {
    moved = false;
    for (std::size_t f = 0; f < work.size() && !moved; ++f) {
      if (deadlinePassed()) break;
      for (std::size_t i = f + 1; i < work.size(); ++i) {
        if (deadlinePassed()) break;
        if (work[f].totalWeight() == work[i].totalWeight()) continue;
        if (moveOneItem(work, f, i, targetLoad, available, deadlinePassed)) {
          moved = true;
          // From a state seen before, the sweeps could only go round the same cycle again.
          returned = !states.visit(work, lastMove_);
          break;
        }
      }
    }
  }

  countBalancingRun(passedUsualDeadline, stopped, returned);

  FilledBoxList result(std::make_shared<DefaultPackedBoxSorter>());
  for (FilledBox& box : work) result.add(std::move(box));
  return result;
}

bool WeightBalancer::moveOneItem(std::vector<FilledBox>& work, std::size_t f, std::size_t i,
                                 double targetLoad, Available& available,
                                 const DeadlineTest& deadlinePassed) {
  const bool fHeavier = work[f].totalWeight() > work[i].totalWeight();
  const std::size_t heavy = fHeavier ? f : i;
  const std::size_t light = fHeavier ? i : f;
  const double heavyLoad = work[heavy].itemWeight();
  const double lightLoad = work[light].itemWeight();
  const std::vector<ItemRef> heavyItems = itemsIn(work[heavy]);
  const std::vector<ItemRef> lightItems = itemsIn(work[light]);
  if (heavyItems.empty()) return false;
  const Box* heavyType = work[heavy].box().get();
  const Box* lightType = work[light].box().get();

  for (std::size_t v = 0; v < heavyItems.size(); ++v) {
    if (deadlinePassed()) return false;
    const ItemRef& item = heavyItems[v];
    const double w = item->weight();
    if (boxGroupOf(*item)) continue;  // grouped items never move
    if (w + lightLoad > targetLoad) continue;
    if (!narrowsGap(heavyLoad, lightLoad, w)) continue;
    if (undoesLastMove(w, heavy, light)) continue;

    std::vector<ItemRef> lightWith = lightItems;
    lightWith.push_back(item);
    std::optional<FilledBox> x = boxFor(lightWith, lightType, available);
    if (!x) continue;
    Available trial = available;
    trial[lightType] += 1;
    trial[x->box().get()] -= 1;

    std::vector<ItemRef> rest = heavyItems;
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(v));
    if (rest.empty()) {
      trial[heavyType] += 1;
      available = std::move(trial);
      work[light] = std::move(*x);
      work.erase(work.begin() + static_cast<std::ptrdiff_t>(heavy));
      lastMove_ = BalancingMove{};  // the box it came from is gone, so nothing can go back
      return true;
    }
    std::optional<FilledBox> y = boxFor(rest, heavyType, trial);
    if (!y) continue;
    trial[heavyType] += 1;
    trial[y->box().get()] -= 1;
    available = std::move(trial);
    work[light] = std::move(*x);
    work[heavy] = std::move(*y);
    lastMove_ = BalancingMove{w, heavy, light, true};
    return true;
  }
  return false;
}

// Moving the same weight straight back can never narrow the gap in exact arithmetic (the first
// move needed w < H - L, the return needs w > H - L); only rounding of the half-differences can
// make it look so, and then the item would swing between the two boxes until the deadline,
// leaving an answer that depends on the machine's speed.
bool WeightBalancer::undoesLastMove(double weight, std::size_t from, std::size_t to) const {
  return lastMove_.made && lastMove_.weight == weight && lastMove_.from == to &&
         lastMove_.to == from;
}

std::optional<FilledBox> WeightBalancer::boxFor(const std::vector<ItemRef>& items,
                                                const Box* preferred, const Available& counts) {
  double weight = 0;
  double volume = 0;
  for (const ItemRef& item : items) {
    weight += item->weight();
    volume += item->volume();
  }
  for (const BoxRef& box : boxes_.sorted()) {
    if (!box->isActive()) continue;
    const auto found = counts.find(box.get());
    std::int64_t n = found == counts.end() ? 0 : found->second;
    if (box.get() == preferred) n += 1;
    if (n <= 0) continue;
    if (volume > box->innerVolume() * 1.000000001) continue;
    const double capacity = box->payloadCapacity();
    if (capacity >= 0 && weight > capacity) continue;
    if (std::optional<FilledBox> packed = fitsWhole(items, box)) return packed;
  }
  return std::nullopt;
}

std::size_t WeightBalancer::FitKeyHash::operator()(const FitKey& key) const {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  const auto fold = [&hash](const void* address) {
    hash ^= static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(address));
    hash *= 0x100000001b3ULL;
    hash ^= hash >> 29;  // addresses differ mostly in their middle bits
  };
  for (const Item* item : key.first) fold(item);
  fold(key.second);
  return static_cast<std::size_t>(hash);
}

std::optional<FilledBox> WeightBalancer::fitsWhole(const std::vector<ItemRef>& items,
                                                   const BoxRef& box) {
  FitKey key;
  key.first.reserve(items.size());
  for (const ItemRef& item : items) key.first.push_back(item.get());
  key.second = box.get();
  const auto found = fitMemo_.find(key);
  if (found != fitMemo_.end()) return found->second;

  std::optional<FilledBox> result =
      packWholeWithShortcuts(items, box, options_.shortcuts, contentFits_, ranks_);
  fitMemo_.emplace(std::move(key), result);
  return result;
}

}  // namespace varbex
