#include "insights/box_stability.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace varbex::insights {
namespace {

// Positive and finite extents at a finite position; anything else takes no part in contacts.
bool hasExtent(const PlacedExtent& p) {
  for (const double v : {p.x, p.y, p.z, p.width, p.length, p.depth}) {
    if (!std::isfinite(v)) return false;
  }
  return p.width > 0 && p.length > 0 && p.depth > 0;
}
bool onFloor(const PlacedExtent& p) { return std::fabs(p.z) <= kContactTolerance; }

double overlap(double start1, double size1, double start2, double size2) {
  return std::max(0.0, std::min(start1 + size1, start2 + size2) - std::max(start1, start2));
}

struct Contact {
  std::size_t below;  // index of the supporting item
  double area;
};

// Items with extent whose tops lie at one height, ordered by where they start along x; the
// widest of them bounds how far before an item's start a supporter can begin.
struct Level {
  double top;
  std::size_t begin, end;  // a range of the order by (top, x)
  double widest;
};

// Checking more pairs than this means the placements overlap by the thousand; no packing does.
constexpr std::size_t kMostPairs = 20000000;

// For every item with extent, the items whose top face meets its base. A supporter starts lower
// than the item it carries, so the relation runs one way and loads can be passed from the top
// down. Candidates are found by height and then by x, so a layer on a layer costs what the
// items overlapping along x cost, not the product of the two layers.
std::vector<std::vector<Contact>> contactsBelow(const std::vector<PlacedExtent>& items) {
  std::vector<std::size_t> order;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (hasExtent(items[k])) order.push_back(k);
  }
  const auto top = [&items](std::size_t k) { return items[k].z + items[k].depth; };
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return top(a) < top(b) || (top(a) == top(b) && items[a].x < items[b].x);
  });
  std::vector<Level> levels;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (levels.empty() || top(order[i]) != levels.back().top) {
      levels.push_back({top(order[i]), i, i, 0});
    }
    levels.back().end = i + 1;
    levels.back().widest = std::max(levels.back().widest, items[order[i]].width);
  }
  std::vector<std::vector<Contact>> contacts(items.size());
  std::size_t pairs = 0;
  for (std::size_t k = 0; k < items.size(); ++k) {
    const PlacedExtent& p = items[k];
    if (!hasExtent(p) || onFloor(p)) continue;
    const double tolerance = kContactTolerance * std::max(1.0, std::fabs(p.z));
    auto level = std::lower_bound(levels.begin(), levels.end(), p.z - tolerance,
                                  [](const Level& l, double h) { return l.top < h; });
    for (; level != levels.end() && level->top <= p.z + tolerance; ++level) {
      const auto first = order.begin() + static_cast<std::ptrdiff_t>(level->begin);
      const auto last = order.begin() + static_cast<std::ptrdiff_t>(level->end);
      auto from = std::lower_bound(first, last, p.x - level->widest,
                                   [&items](std::size_t j, double x) { return items[j].x < x; });
      for (; from != last && items[*from].x < p.x + p.width; ++from) {
        if (++pairs > kMostPairs) {
          throw std::invalid_argument("more than " + std::to_string(kMostPairs) +
                                      " pairs of items to test for contact: the placements overlap");
        }
        const PlacedExtent& q = items[*from];
        if (*from == k || !(q.z < p.z)) continue;
        const double area = overlap(p.x, p.width, q.x, q.width) * overlap(p.y, p.length, q.y, q.length);
        if (area > 0) contacts[k].push_back({*from, area});
      }
    }
  }
  return contacts;
}

double supportOf(const PlacedExtent& p, const std::vector<Contact>& contacts) {
  if (onFloor(p)) return 1;
  double touching = 0;
  for (const Contact& c : contacts) touching += c.area;
  const double share = touching / (p.width * p.length);
  // Sums of several contacts round; a base covered but for rounding is covered.
  return share >= 1 - kContactTolerance ? 1.0 : std::max(0.0, share);
}

// From the top down, each item passes its weight and its load to the items below it, shared by
// contact area, or to the floor; an item that rests on nothing passes nothing on.
void passLoads(const std::vector<PlacedExtent>& items,
               const std::vector<std::vector<Contact>>& contacts, BoxStanding& standing) {
  std::vector<std::size_t> order;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (hasExtent(items[k])) order.push_back(k);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&items](std::size_t a, std::size_t b) { return items[a].z > items[b].z; });
  std::vector<double> load(items.size(), 0.0);
  for (const std::size_t k : order) {
    const double passed = items[k].weight + load[k];
    if (onFloor(items[k])) {
      standing.floorLoad += passed;
      continue;
    }
    double touching = 0;
    for (const Contact& c : contacts[k]) touching += c.area;
    for (const Contact& c : contacts[k]) load[c.below] += passed * (c.area / touching);
  }
  for (const std::size_t k : order) standing.items[k].loadOnTop = load[k];
}

void locateCentre(const PackedBox& box, BoxStanding& standing) {
  double total = 0, x = 0, y = 0, z = 0;
  for (const PlacedExtent& p : box.items) {
    total += p.weight;
    x += p.weight * (p.x + p.width / 2);
    y += p.weight * (p.y + p.length / 2);
    z += p.weight * (p.z + p.depth / 2);
  }
  if (total == 0) return;
  standing.centreOfGravity = Point{x / total, y / total, z / total};
  if (box.width > 0) standing.offsetX = (standing.centreOfGravity->x - box.width / 2) / box.width;
  if (box.length > 0) standing.offsetY = (standing.centreOfGravity->y - box.length / 2) / box.length;
}

}  // namespace

BoxStanding measureBox(const PackedBox& box) {
  BoxStanding standing;
  standing.items.resize(box.items.size());
  const auto contacts = contactsBelow(box.items);
  for (std::size_t k = 0; k < box.items.size(); ++k) {
    if (!hasExtent(box.items[k])) continue;
    const double support = supportOf(box.items[k], contacts[k]);
    standing.items[k].support = support;
    standing.items[k].overhang = support < 1;
  }
  passLoads(box.items, contacts, standing);
  locateCentre(box, standing);
  return standing;
}

}  // namespace varbex::insights
