#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/engine_options.h"
#include "model/box.h"
#include "model/oriented_item.h"
#include "orient/item_stack.h"

namespace varbex {

class OrientationRanking;
class TrialPacker;

// Decides in which orientation an item goes at one free position, or that it does not go there.
// Lives for one trial packing of one box and remembers, per item shape, whether the item can
// stand stably anywhere in that box.
class OrientationChooser {
 public:
  // packer is used for lookahead trial fills and may be null when lookahead is disabled; it must
  // outlive the chooser. The switches are handed on to the lookahead's questions.
  explicit OrientationChooser(BoxRef box, const TrialPacker* packer = nullptr,
                              const Shortcuts& shortcuts = {})
      : box_(std::move(box)), packer_(packer), shortcuts_(shortcuts) {}
  virtual ~OrientationChooser() = default;
  OrientationChooser(const OrientationChooser&) = delete;
  OrientationChooser& operator=(const OrientationChooser&) = delete;

  void setLookaheadDisabled(bool disabled) { lookaheadDisabled_ = disabled; }
  const Box& box() const { return *box_; }
  const TrialPacker* packer() const { return packer_; }
  const Shortcuts& shortcuts() const { return shortcuts_; }

  // Distinct allowed orientations that fit the free space, in generation order. An item shaped
  // like `previous` is offered that orientation only.
  std::vector<OrientedItem> candidateOrientations(const ItemRef& item,
                                                  const OrientedItem* previous, double freeWidth,
                                                  double freeLength, double freeDepth) const;

  // Whether candidateOrientations would return at least one candidate; allocates nothing.
  bool hasCandidate(const Item& item, const OrientedItem* previous, double freeWidth,
                    double freeLength, double freeDepth) const;

  // Drops unstable candidates unless the item cannot stand stably anywhere in the box.
  std::vector<OrientedItem> keepStable(const ItemRef& item, std::vector<OrientedItem> candidates);

  bool hasStableOrientation(const ItemRef& item);

  // The best-ranked candidate, or nothing when no orientation may be placed here.
  std::optional<OrientedItem> chooseOrientation(const ItemRef& item, const OrientedItem* previous,
                                                ItemStackView nextItems, double freeWidth,
                                                double freeLength, double freeDepth,
                                                double rowLength, bool checkStability);

  // The number of shapes whose answer the memo holds.
  virtual std::size_t stableShapeCacheSize() const { return stableByText_.size(); }

 protected:
  // The steps a faster chooser may shorten. Each does the plain step here.

  // Whether an item of this shape can stand stably anywhere in the box; the first item of a
  // shape decides for every later one that shares its six-decimal key.
  virtual bool stableForShape(const ItemRef& item);
  // The candidate the ranking puts first; candidates is not empty.
  virtual OrientedItem& firstRankedOf(std::vector<OrientedItem>& candidates,
                                      OrientationRanking& ranking, double freeWidth,
                                      double freeLength, double freeDepth);

  // Whether one of the item's candidates in the empty box stands stably.
  bool computeStable(const ItemRef& item) const;

 private:
  void collectCandidates(const ItemRef& item, const OrientedItem* previous, double freeWidth,
                         double freeLength, double freeDepth,
                         std::vector<OrientedItem>& kept) const;
  void keepStableIn(const ItemRef& item, std::vector<OrientedItem>& candidates);

  BoxRef box_;
  const TrialPacker* packer_;
  Shortcuts shortcuts_;
  bool lookaheadDisabled_ = false;
  // The memo of stableForShape, keyed by the six-decimal shape key as text.
  std::unordered_map<std::string, bool> stableByText_;
  // In front of the shape memos: an item's key never changes, so neither does its answer. The
  // entry holds the item, so that its address cannot be reused by another item while the chooser
  // lives. A short list first, since most choosers meet only a few items that need the question
  // answered, then a map for the rest.
  static constexpr std::size_t kStableByItemListed = 16;
  std::vector<std::pair<ItemRef, bool>> stableByItem_;
  std::unordered_map<const Item*, std::pair<ItemRef, bool>> moreStableByItem_;
  std::vector<OrientedItem> scratch_;  // the candidate list of a choice, kept for the next one
};

}  // namespace varbex
