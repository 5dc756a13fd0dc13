#pragma once

#include <optional>
#include <vector>

#include "insights/packed_response.h"

namespace varbex::insights {

// How one placed item stands. Both measures are absent for an item with a zero, negative or
// unknown extent as placed: it neither supports nor is supported.
struct ItemStanding {
  std::optional<double> support;      // share of its base on the floor or on items' tops, in [0, 1]
  std::optional<double> loadOnTop;    // weight resting on it, passed down from the items above
  bool overhang = false;              // support below 1
};

struct Point {
  double x = 0, y = 0, z = 0;
};

// How one box stands: its items in loading order, and where its weight acts.
struct BoxStanding {
  std::vector<ItemStanding> items;
  std::optional<Point> centreOfGravity;  // absent when the items weigh nothing in total
  // The centre's distance from the middle of the floor, as a fraction of width and length;
  // absent with the centre, each side absent when the box has no extent along it.
  std::optional<double> offsetX, offsetY;
  double floorLoad = 0;  // the weight the bottom items pass to the floor
};

// Heights within this (relative, at least absolute) distance meet; so do a base and the floor.
constexpr double kContactTolerance = 1e-9;

// Throws std::invalid_argument when the placements overlap too much to be measured in reason.
BoxStanding measureBox(const PackedBox& box);

}  // namespace varbex::insights
