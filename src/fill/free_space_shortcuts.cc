#include "fill/free_space_shortcuts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>

#include "fill/room.h"

namespace varbex {
namespace {

// A space with the index of the first item not yet cut out of it.
struct Pending {
  FreeSpace space;
  std::size_t next;
};

// The items in runs of a few consecutive ones, each with the box around them: items placed one
// after the other lie close together, so a space that misses a run's box skips the run at once.
class ItemRuns {
 public:
  explicit ItemRuns(const std::vector<PlacedItem>& items) : items_(items) {
    runs_ = boundsOfRuns(kRun);
  }

  // The index of the first item from `from` on that overlaps the space; the item count if none.
  std::size_t firstOverlapping(const FreeSpace& space, std::size_t from) const {
    const std::size_t count = items_.size();
    std::size_t k = from;
    while (k < count) {
      if (usable_ && k % kRun == 0 && !boundsOverlap(runs_[k / kRun], space)) {
        k += kRun;
      } else if (overlaps(items_[k], space)) {
        return k;
      } else {
        ++k;
      }
    }
    return count;
  }

 private:
  static constexpr std::size_t kRun = 8;

  // Lowest corner and highest far edge, the far edges summed as the overlap test sums them.
  struct Bounds {
    double x0, x1, y0, y1, z0, z1;
  };

  static Bounds boundsOf(const PlacedItem& item) {
    return {item.x, item.x + item.width, item.y, item.y + item.length,
            item.z, item.z + item.depth};
  }

  static Bounds enclosing(const Bounds& a, const Bounds& b) {
    return {std::min(a.x0, b.x0), std::max(a.x1, b.x1), std::min(a.y0, b.y0),
            std::max(a.y1, b.y1), std::min(a.z0, b.z0), std::max(a.z1, b.z1)};
  }

  static bool hasNaN(const Bounds& b) {
    return std::isnan(b.x0) || std::isnan(b.x1) || std::isnan(b.y0) || std::isnan(b.y1) ||
           std::isnan(b.z0) || std::isnan(b.z1);
  }

  // False only when no item inside the bounds can overlap the space.
  static bool boundsOverlap(const Bounds& b, const FreeSpace& space) {
    return !(b.x0 >= space.x + space.width || space.x >= b.x1 ||
             b.y0 >= space.y + space.length || space.y >= b.y1 ||
             b.z0 >= space.z + space.depth || space.z >= b.z1);
  }

  std::vector<Bounds> boundsOfRuns(std::size_t length) {
    std::vector<Bounds> runs;
    for (std::size_t start = 0; start < items_.size() && usable_; start += length) {
      const std::size_t end = std::min(items_.size(), start + length);
      Bounds b = boundsOf(items_[start]);
      for (std::size_t i = start; i < end && usable_; ++i) {
        const Bounds item = boundsOf(items_[i]);
        usable_ = !hasNaN(item);  // min and max would pass over it
        b = enclosing(b, item);
      }
      runs.push_back(b);
    }
    return runs;
  }

  const std::vector<PlacedItem>& items_;
  std::vector<Bounds> runs_;
  bool usable_ = true;  // false when a value is not a number: then every item is tested
};

// How much larger than its parent a piece can come out through rounding, at most: each cut adds a
// few units in the last place of the largest coordinate, once per item. Nothing when a value is
// not finite, as then pieces need not shrink at all.
std::optional<double> roundingSlack(double width, double length, double depth,
                                    const std::vector<PlacedItem>& items,
                                    std::size_t laterCuts = 0) {
  constexpr std::size_t kMostItems = 100000;  // keeps the slack's bound below
  if (items.size() > kMostItems || laterCuts > kMostItems - items.size()) return std::nullopt;
  // Each value is looked at on its own: max passes over a NaN without a trace.
  bool finite = std::isfinite(width) && std::isfinite(length) && std::isfinite(depth);
  double largest = std::max({std::fabs(width), std::fabs(length), std::fabs(depth)});
  for (const PlacedItem& item : items) {
    finite = finite && std::isfinite(item.x) && std::isfinite(item.y) && std::isfinite(item.z) &&
             std::isfinite(item.width) && std::isfinite(item.length) &&
             std::isfinite(item.depth);
    largest = std::max({largest, std::fabs(item.x) + std::fabs(item.width),
                        std::fabs(item.y) + std::fabs(item.length),
                        std::fabs(item.z) + std::fabs(item.depth)});
  }
  if (!finite || !std::isfinite(largest)) return std::nullopt;
  return largest * 1e-9;
}

// Walks the pieces that cutting the items one after the other out of the box leaves, in the order
// that gives them, handing each to `take` until it returns false. Depth first: the box is cut by
// the first item that overlaps it and each piece by the first item after that one that overlaps
// the piece, so no list that grows to hundreds of spaces is copied once per item. A piece for
// which `keepCutting` is false is dropped with every piece that would be cut from it.
template <typename KeepCutting, typename Take>
void walkFreeSpaces(double width, double length, double depth,
                    const std::vector<PlacedItem>& items, KeepCutting keepCutting, Take take) {
  const ItemRuns runs(items);
  std::vector<Pending> pending{{FreeSpace(0, 0, 0, width, length, depth), 0}};
  std::vector<FreeSpace> cut;
  while (!pending.empty()) {
    const Pending piece = pending.back();
    pending.pop_back();
    if (!keepCutting(piece.space)) continue;
    const std::size_t k = runs.firstOverlapping(piece.space, piece.next);
    if (k == items.size()) {
      if (!take(piece.space)) return;
      continue;
    }
    cut.clear();
    appendPieces(piece.space, items[k], cut);
    // Last piece pushed first, so that the first is cut further first.
    for (auto p = cut.rbegin(); p != cut.rend(); ++p) pending.push_back({*p, k + 1});
  }
}

}  // namespace

std::vector<FreeSpace> freeSpacesWalked(double width, double length, double depth,
                                        const std::vector<PlacedItem>& items) {
  std::vector<FreeSpace> result;
  walkFreeSpaces(
      width, length, depth, items, [](const FreeSpace&) { return true; },
      [&result](const FreeSpace& space) {
        result.push_back(space);
        return true;
      });
  return result;
}

std::optional<double> cuttingSlack(double width, double length, double depth,
                                   const std::vector<PlacedItem>& items, std::size_t laterCuts) {
  const std::optional<double> slack = roundingSlack(width, length, depth, items, laterCuts);
  // Pieces cut by items still to be placed reach past the box's own far edges by rounding at
  // most, which twice the slack covers.
  if (!slack) return std::nullopt;
  return 2 * *slack;
}

bool someItemFitsNoSpace(const std::vector<ItemRef>& items, const std::vector<FreeSpace>& spaces,
                         double slack) {
  std::vector<Room> rooms;
  rooms.reserve(spaces.size());
  for (const FreeSpace& s : spaces) {
    rooms.emplace_back(s.width + slack, s.length + slack, s.depth + slack);
  }
  return std::any_of(items.begin(), items.end(), [&rooms](const ItemRef& item) {
    return std::none_of(rooms.begin(), rooms.end(),
                        [&item](const Room& room) { return fitsSomehow(*item, room); });
  });
}

bool mayTakeSome(const FreeSpace& space, double slack, const SortedTriple& smallest) {
  return !takesNoneOf(Room(space.width + slack, space.length + slack, space.depth + slack),
                      smallest);
}

std::optional<SpacesItemsMayFit> freeSpacesItemsMayFit(double width, double length, double depth,
                                                       const std::vector<PlacedItem>& items,
                                                       const std::vector<ItemRef>& candidates) {
  // The candidates may still be placed and cut the pieces further; they go inside the box, so
  // their far edges pass its own by rounding at most, which twice the slack covers.
  const std::optional<double> slack =
      roundingSlack(width, length, depth, items, candidates.size());
  if (!slack) return std::nullopt;
  SpacesItemsMayFit result{{}, 2 * *slack};
  walkFreeSpaces(
      width, length, depth, items,
      [&result, smallest = smallestSides(candidates)](const FreeSpace& s) {
        return mayTakeSome(s, result.slack, smallest);
      },
      [&result](const FreeSpace& s) {
        result.spaces.push_back(s);
        return true;
      });
  return result;
}

bool someItemFitsNoFreeSpace(double width, double length, double depth,
                             const std::vector<PlacedItem>& items,
                             const std::vector<ItemRef>& candidates) {
  const std::optional<double> slack = cuttingSlack(width, length, depth, items, candidates.size());
  if (!slack) return false;

  std::vector<const Item*> unplaceable;  // the candidates no final piece has been found to fit
  unplaceable.reserve(candidates.size());
  for (const ItemRef& item : candidates) unplaceable.push_back(item.get());
  const auto fitsNone = [&unplaceable](const Room& room) {
    return std::none_of(unplaceable.begin(), unplaceable.end(),
                        [&room](const Item* item) { return fitsSomehow(*item, room); });
  };

  // A piece that no item fits, even with the slack, has no piece cut from it that one fits.
  walkFreeSpaces(
      width, length, depth, items,
      [&fitsNone, &slack](const FreeSpace& s) {
        return !fitsNone(Room(s.width + *slack, s.length + *slack, s.depth + *slack));
      },
      [&unplaceable, &slack](const FreeSpace& s) {
        const Room room(s.width + *slack, s.length + *slack, s.depth + *slack);
        unplaceable.erase(std::remove_if(unplaceable.begin(), unplaceable.end(),
                                         [&room](const Item* item) {
                                           return fitsSomehow(*item, room);
                                         }),
                          unplaceable.end());
        return !unplaceable.empty();
      });
  return !unplaceable.empty();
}

}  // namespace varbex
