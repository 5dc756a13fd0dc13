#include "fill/free_space.h"

#include <algorithm>
#include <utility>

namespace varbex {

bool overlaps(const PlacedItem& item, const FreeSpace& space) {
  return !(item.x >= space.x + space.width || space.x >= item.x + item.width ||
           item.y >= space.y + space.length || space.y >= item.y + item.length ||
           item.z >= space.z + space.depth || space.z >= item.z + item.depth);
}

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

}  // namespace varbex
