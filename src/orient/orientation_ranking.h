#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/oriented_item.h"
#include "orient/lookahead.h"
#include "orient/orientation_chooser.h"

namespace varbex {

// Three-way comparison of two candidate orientations of one item at one position, for one
// choice. The tests run from the strongest reason to the weakest: closing off a free extent, a
// grid with room for every copy still to come, room kept for the items after it, a flat item
// lying flat, then the thinner strip left over and the smaller footprint.
class OrientationRanking {
 public:
  OrientationRanking(const OrientationChooser& chooser, bool lookaheadDisabled, double freeWidth,
                     double freeLength, double freeDepth, ItemStackView nextItems,
                     double rowLength);

  // -1 when p goes first, 1 when q does, 0 when held equal.
  int compare(const OrientedItem& p, const OrientedItem& q);

  // Copies of o that fit the free space as a plain grid.
  std::int64_t gridCount(const OrientedItem& o) const;

  // How many of the next items (at most seven) two trial volumes beside and in front of the row
  // would take with o placed; 0 when lookahead is disabled.
  std::int32_t lookahead(const OrientedItem& o) const;

 private:
  bool allCopiesFollow(const OrientedItem& p);
  // Whether the next item has a candidate in the rest of the row beside o.
  bool nextFitsBeside(const OrientedItem& o);
  std::int32_t lookaheadOnce(const OrientedItem& o);

  const OrientationChooser& chooser_;
  bool lookaheadDisabled_;
  double freeWidth_;
  double freeLength_;
  double freeDepth_;
  ItemStackView nextItems_;
  double rowLength_;
  bool sameShapeRestKnown_ = false;
  bool sameShapeRest_ = false;

  // The lookahead of one choice depends on a candidate only through its width and length, and a
  // sort compares each candidate several times; each answer is looked up once per choice.
  struct Answer {
    double width;
    double length;
    std::int32_t count;
  };
  std::array<Answer, 6> answers_;  // the first answerCount_ hold answers
  mutable LookaheadShared lookaheadShared_;
  std::size_t answerCount_ = 0;

  // Whether the next item fits beside a candidate depends only on the candidate's item and
  // extents; a sort asks it for each comparison, so each answer is kept.
  struct NextFit {
    const Item* item;
    double width;
    double length;
    double depth;
    bool fits;
  };
  std::array<NextFit, 6> nextFits_;  // the first nextFitCount_ hold answers
  std::size_t nextFitCount_ = 0;
};

// The candidate a stable sort by the ranking puts first, with the candidates so sorted. Not
// empty.
OrientedItem& firstRanked(std::vector<OrientedItem>& candidates, OrientationRanking& ranking);

}  // namespace varbex
