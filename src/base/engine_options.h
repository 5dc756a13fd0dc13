#pragma once

#include <chrono>

namespace varbex {

// The engine's speed shortcuts: each gives the answer of the plain step it stands beside, only
// faster, and each can be switched off so that the same build runs the plain algorithm. The
// differential checks compare the two over many generated requests; docs/architecture.md lists
// every shortcut with its file, its precondition and its proof.
struct Shortcuts {
  // Lookahead trial fills: none when no looked-at item fits the volume in any orientation.
  bool lookaheadSkipsHopelessFills = true;
  // Lookahead trial fills: a per-thread memo of what each exact content placed.
  bool trialFillMemo = true;
  // Layer filler: a region that no item fits and no item would be dropped from is not filled.
  bool layerSkipsEmptyRegions = true;
  // Layer filler: the chooser is asked only about items that fit the free room somehow.
  bool chooserAsksFittingItemsOnly = true;
  // Orientation chooser: one pass finds the first-ranked candidate instead of sorting them all.
  bool chooserPicksFirstRankedInOnePass = true;
  // Volume filler: a box as long as it is wide is not tried turned.
  bool squareBoxNotTurned = true;
  // Gap filling: spaces no remaining item fits are passed over without running their rows.
  bool gapFillingPassesOverEmptySpaces = true;
  // Gap filling: only the spaces no shorter than the remaining items' smallest sides are kept.
  bool gapFillingKeepsSpacesItemsMayFit = true;
  // Free spaces: listed by a depth-first walk of the cuts over runs of items, instead of cutting
  // the whole list by each item in turn.
  bool freeSpacesWalkedDepthFirst = true;
  // Weight balancing re-packs stop as soon as some item can no longer be placed.
  bool wholeOrNothingStopsEarly = true;
  // Weight balancing: a re-pack's answer is remembered by the exact content of the box.
  bool contentFitMemo = true;
  // Weight balancing: a re-pack's items sorted by each item's rank in the item order, found once.
  bool balancingSortsByRank = true;
  // Stability memo: keyed by the six-decimal values as numbers instead of their "%f" texts.
  bool stabilityMemoKeyedByValues = true;
  // Lookahead keys: values rounded to millionths inline instead of by llround.
  bool lookaheadKeysRoundedInline = true;

  // Every shortcut off: the plain algorithm.
  static Shortcuts none() {
    Shortcuts s;
    s.lookaheadSkipsHopelessFills = false;
    s.trialFillMemo = false;
    s.layerSkipsEmptyRegions = false;
    s.chooserAsksFittingItemsOnly = false;
    s.chooserPicksFirstRankedInOnePass = false;
    s.squareBoxNotTurned = false;
    s.gapFillingPassesOverEmptySpaces = false;
    s.gapFillingKeepsSpacesItemsMayFit = false;
    s.freeSpacesWalkedDepthFirst = false;
    s.wholeOrNothingStopsEarly = false;
    s.contentFitMemo = false;
    s.balancingSortsByRank = false;
    s.stabilityMemoKeyedByValues = false;
    s.lookaheadKeysRoundedInline = false;
    return s;
  }
};

// What one solve runs with. The exported function uses every shortcut and the 250 ms budget;
// the tests and tools choose through the internal entry point (api/solve.h). The algorithm
// objects of one call hold the value they were given, so two calls on two threads may differ.
struct EngineOptions {
  Shortcuts shortcuts;
  // Weight balancing stops after this long. Tests and tools give it longer, so that heavy
  // requests answer the same on any machine as long as they end well within it; passing 250 ms
  // still counts as a deadline hit.
  std::chrono::nanoseconds balancingBudget{250'000'000};

  // Every shortcut off: the plain algorithm.
  static EngineOptions plain() {
    EngineOptions options;
    options.shortcuts = Shortcuts::none();
    return options;
  }
};

}  // namespace varbex
