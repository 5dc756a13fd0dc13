#include "fill/free_space.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>

#include "fill/room.h"

namespace varbex {
namespace {

bool overlaps(const PlacedItem& item, const FreeSpace& space) {
  return !(item.x >= space.x + space.width || space.x >= item.x + item.width ||
           item.y >= space.y + space.length || space.y >= item.y + item.length ||
           item.z >= space.z + space.depth || space.z >= item.z + item.depth);
}

// Appends the pieces of `space` that lie outside `item`.
void appendPieces(const FreeSpace& s, const PlacedItem& item, std::vector<FreeSpace>& out) {
  const double x1 = std::max(item.x, s.x);
  const double x2 = std::min(item.x + item.width, s.x + s.width);
  const double y1 = std::max(item.y, s.y);
  const double y2 = std::min(item.y + item.length, s.y + s.length);
  const double z1 = std::max(item.z, s.z);
  const double z2 = std::min(item.z + item.depth, s.z + s.depth);
  // x-cuts take the whole space, y-cuts the overlapping x-range, z-cuts both ranges.
  if (s.x < x1) out.emplace_back(s.x, s.y, s.z, x1 - s.x, s.length, s.depth);
  if (s.x + s.width > x2) out.emplace_back(x2, s.y, s.z, s.x + s.width - x2, s.length, s.depth);
  if (s.y < y1) out.emplace_back(x1, s.y, s.z, x2 - x1, y1 - s.y, s.depth);
  if (s.y + s.length > y2) out.emplace_back(x1, y2, s.z, x2 - x1, s.y + s.length - y2, s.depth);
  if (z1 > s.z) out.emplace_back(x1, y1, s.z, x2 - x1, y2 - y1, z1 - s.z);
  if (s.z + s.depth > z2) out.emplace_back(x1, y1, z2, x2 - x1, y2 - y1, s.z + s.depth - z2);
}

// How much larger than its parent a piece can come out through rounding, at most: each cut adds a
// few units in the last place of the largest coordinate, once per item. Nothing when a value is
// not finite, as then pieces need not shrink at all.
std::optional<double> roundingSlack(double width, double length, double depth,
                                    const std::vector<PlacedItem>& items) {
  constexpr std::size_t kMostItems = 100000;  // keeps the slack's bound below
  if (items.size() > kMostItems) return std::nullopt;
  double largest = std::max({std::fabs(width), std::fabs(length), std::fabs(depth)});
  for (const PlacedItem& item : items) {
    largest = std::max({largest, std::fabs(item.x) + std::fabs(item.width),
                        std::fabs(item.y) + std::fabs(item.length),
                        std::fabs(item.z) + std::fabs(item.depth)});
  }
  if (!std::isfinite(largest)) return std::nullopt;  // also catches a NaN, which max passes on
  return largest * 1e-9;
}

bool anyIsNaN(const FreeSpace& s) {
  return std::isnan(s.width) || std::isnan(s.length) || std::isnan(s.depth);
}

}  // namespace

FreeSpace::FreeSpace(double x, double y, double z, double width, double length, double depth)
    : x(x),
      y(y),
      z(z),
      width(width),
      length(length),
      depth(depth),
      volume((width * length) * depth),
      area(width * length) {}

std::vector<FreeSpace> subtractItems(std::vector<FreeSpace> spaces,
                                     const std::vector<PlacedItem>& items) {
  std::vector<FreeSpace> next;
  for (const PlacedItem& item : items) {
    next.clear();
    next.reserve(spaces.size() + 6);
    for (const FreeSpace& space : spaces) {
      if (overlaps(item, space)) {
        appendPieces(space, item, next);
      } else {
        next.push_back(space);
      }
    }
    std::swap(spaces, next);
  }
  return spaces;
}

std::vector<FreeSpace> freeSpaces(double width, double length, double depth,
                                  const std::vector<PlacedItem>& items) {
  return subtractItems({FreeSpace(0, 0, 0, width, length, depth)}, items);
}

bool someItemFitsNoSpace(const std::vector<ItemRef>& items, const std::vector<FreeSpace>& spaces) {
  std::vector<Room> rooms;
  rooms.reserve(spaces.size());
  for (const FreeSpace& s : spaces) rooms.emplace_back(s.width, s.length, s.depth);
  return std::any_of(items.begin(), items.end(), [&rooms](const ItemRef& item) {
    return std::none_of(rooms.begin(), rooms.end(),
                        [&item](const Room& room) { return fitsSomehow(*item, room); });
  });
}

bool someItemFitsNoFreeSpace(double width, double length, double depth,
                             const std::vector<PlacedItem>& items,
                             const std::vector<ItemRef>& candidates) {
  const std::optional<double> slack = roundingSlack(width, length, depth, items);
  if (!slack) return someItemFitsNoSpace(candidates, freeSpaces(width, length, depth, items));

  std::vector<const Item*> unplaceable;  // the candidates no final piece has been found to fit
  unplaceable.reserve(candidates.size());
  for (const ItemRef& item : candidates) unplaceable.push_back(item.get());
  const auto fitsNone = [&unplaceable](const Room& room) {
    return std::none_of(unplaceable.begin(), unplaceable.end(),
                        [&room](const Item* item) { return fitsSomehow(*item, room); });
  };

  // The pieces `subtractItems` would make, depth first: each with the first item not yet cut out.
  struct Piece {
    FreeSpace space;
    std::size_t next;
  };
  std::vector<Piece> pending{{FreeSpace(0, 0, 0, width, length, depth), 0}};
  std::vector<FreeSpace> cut;
  while (!pending.empty() && !unplaceable.empty()) {
    const Piece piece = pending.back();
    pending.pop_back();
    const FreeSpace& s = piece.space;
    if (!anyIsNaN(s) &&
        fitsNone(Room(s.width + *slack, s.length + *slack, s.depth + *slack))) {
      continue;
    }
    std::size_t k = piece.next;
    while (k < items.size() && !overlaps(items[k], s)) ++k;
    if (k == items.size()) {
      const Room room(s.width, s.length, s.depth);
      unplaceable.erase(std::remove_if(unplaceable.begin(), unplaceable.end(),
                                       [&room](const Item* item) { return fitsSomehow(*item, room); }),
                        unplaceable.end());
      continue;
    }
    cut.clear();
    appendPieces(s, items[k], cut);
    for (const FreeSpace& p : cut) pending.push_back({p, k + 1});
  }
  return !unplaceable.empty();
}

}  // namespace varbex
