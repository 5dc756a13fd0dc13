#include "fill/volume_filler.h"

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/box.h"
#include "model/item.h"
#include "model/item_pool.h"
#include "model/item_sorter.h"
#include "model/sorted_triple.h"

namespace varbex {
namespace {

ItemRef itemOf(const char* code, double w, double l, double d,
               RotationPolicy policy = RotationPolicy::Never, double weight = 1.0) {
  return std::make_shared<ConcreteItem>(code, code, w, l, d, weight, policy);
}

BoxRef boxOf(double w, double l, double d, double maxWeight = -1, double emptyWeight = 0) {
  return std::make_shared<ConcreteBox>("B", w, l, d, maxWeight, emptyWeight, true);
}

ItemPool poolOf(const std::vector<ItemRef>& items) {
  ItemPool pool(std::make_shared<DefaultItemSorter>());
  for (const ItemRef& item : items) pool.add(item);
  return pool;
}

FilledBox fillBox(const BoxRef& box, const std::vector<ItemRef>& items, bool lookaheadMode = false) {
  VolumeFiller filler(box);
  filler.setLookaheadMode(lookaheadMode);
  return filler.fill(poolOf(items));
}

struct Placement {
  ItemRef item;
  double x, y, z;
  double width, length, depth;
  const char* code;
};

void expectPlacements(const FilledBox& filled, const std::vector<Placement>& want) {
  ASSERT_EQ(filled.itemCount(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    const PlacedItem& p = filled.items()[i];
    EXPECT_EQ(p.item, want[i].item) << "got " << p.item->itemCode();
    EXPECT_EQ(p.x, want[i].x);
    EXPECT_EQ(p.y, want[i].y);
    EXPECT_EQ(p.z, want[i].z);
    EXPECT_EQ(p.width, want[i].width);
    EXPECT_EQ(p.length, want[i].length);
    EXPECT_EQ(p.depth, want[i].depth);
    EXPECT_EQ(p.orientation, want[i].code);
  }
}

TEST(VolumeFillerTest, EmptyPoolGivesAnEmptyBox) {
  const BoxRef box = boxOf(10, 10, 10);
  const FilledBox filled = fillBox(box, {});
  EXPECT_EQ(filled.box(), box);
  EXPECT_EQ(filled.itemCount(), 0u);
  EXPECT_EQ(filled.volumeUtilisation(), 0);
}

TEST(VolumeFillerTest, LeavesThePoolAsItWas) {
  const ItemRef a = itemOf("A", 5, 5, 5), b = itemOf("B", 50, 5, 5);
  const ItemPool pool = poolOf({a, b});
  VolumeFiller(boxOf(10, 10, 10)).fill(pool);
  EXPECT_EQ(pool.size(), 2u);
}

TEST(VolumeFillerTest, NeverItemsAloneAreTriedInTheUnturnedBoxOnly) {
  // 20 x 10 x 5 fits the 10 x 20 x 5 box only when the box is turned; a KeepFlat item in the
  // pool lets the filler turn it, and the packing comes back turned into the box's frame.
  const BoxRef box = boxOf(10, 20, 5);
  const ItemRef never = itemOf("N", 20, 10, 5);
  EXPECT_EQ(fillBox(box, {never}).itemCount(), 0u);

  const ItemRef flat = itemOf("K", 1, 1, 1, RotationPolicy::KeepFlat);
  expectPlacements(fillBox(box, {never, flat}), {{never, 0, 0, 0, 10, 20, 5, "LWD"}});
}

TEST(VolumeFillerTest, TurnedPackingComesBackWithXAndYExchanged) {
  // The two 20 x 5 x 5 Never items fit only across the turned box, one behind the other; back
  // in the box's frame they stand side by side along x.
  const BoxRef box = boxOf(10, 20, 5);
  const ItemRef a = itemOf("A", 20, 5, 5), b = itemOf("B", 20, 5, 5);
  const ItemRef tiny = itemOf("T", 1, 1, 1, RotationPolicy::KeepFlat);
  expectPlacements(fillBox(box, {a, b, tiny}),
                   {{a, 0, 0, 0, 5, 20, 5, "LWD"}, {b, 5, 0, 0, 5, 20, 5, "LWD"}});
}

TEST(VolumeFillerTest, TurnedPackingExchangesTheFirstTwoCodeLetters) {
  // Turned, C goes in as LWD (20 x 4 x 5) behind A; it comes back as WLD, its own 4 x 20 x 5.
  const BoxRef box = boxOf(10, 20, 5);
  const ItemRef a = itemOf("A", 20, 5, 5), c = itemOf("C", 4, 20, 5, RotationPolicy::KeepFlat);
  expectPlacements(fillBox(box, {a, c}),
                   {{a, 0, 0, 0, 5, 20, 5, "LWD"}, {c, 5, 0, 0, 4, 20, 5, "WLD"}});
}

TEST(VolumeFillerTest, NeverItemFollowingItsShapeKeepsItsOwnOrientation) {
  // Unturned, A (20 x 5 x 5, Never) fits nowhere and C goes in as 5 x 20 x 5; A has C's shape but
  // may not take C's extents, so that trial leaves A out. Turned, A goes in first and C turns to
  // follow it in the next row; turned back, A reads LWD and C its own WLD.
  const BoxRef box = boxOf(10, 20, 5);
  const ItemRef a = itemOf("A", 20, 5, 5), c = itemOf("C", 5, 20, 5, RotationPolicy::KeepFlat);
  expectPlacements(fillBox(box, {a, c}),
                   {{a, 0, 0, 0, 5, 20, 5, "LWD"}, {c, 5, 0, 0, 5, 20, 5, "WLD"}});
}

TEST(VolumeFillerTest, ReturnsTheFirstTrialThatPlacesEverything) {
  struct Case {
    const char* name;
    double boxW, boxL, boxD;
    double w, l, d;
    std::array<double, 3> extents;
    const char* code;
  };
  const Case cases[] = {
      // The chooser alone would take WDL; the first choice, WLD, already places everything.
      {"first_choice_wins", 10, 10, 10, 10, 5, 4, {10, 5, 4}, "WLD"},
      // WLD does not fit: the first choice is the first orientation that does.
      {"first_fitting_choice", 10, 15, 10, 12, 5, 4, {5, 12, 4}, "LWD"},
      {"cube_stays_unturned", 10, 10, 10, 3, 3, 3, {3, 3, 3}, "WLD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ItemRef item = itemOf("I", c.w, c.l, c.d, RotationPolicy::BestFit);
    expectPlacements(fillBox(boxOf(c.boxW, c.boxL, c.boxD), {item}),
                     {{item, 0, 0, 0, c.extents[0], c.extents[1], c.extents[2], c.code}});
  }
}

TEST(VolumeFillerTest, FirstItemThatFitsNowhereIsSkipped) {
  const ItemRef huge = itemOf("H", 20, 20, 20, RotationPolicy::BestFit);
  const ItemRef small = itemOf("S", 1, 1, 1, RotationPolicy::BestFit);
  expectPlacements(fillBox(boxOf(10, 10, 10), {huge, small}), {{small, 0, 0, 0, 1, 1, 1, "WLD"}});
}

TEST(VolumeFillerTest, EqualUtilisationKeepsTheUnturnedTrial) {
  // Z fits nowhere, so no trial is complete; both place the cube alone, and the turned one
  // would bring it back coded LWD.
  const ItemRef z = itemOf("Z", 50, 50, 50);
  const ItemRef cube = itemOf("A", 5, 5, 5, RotationPolicy::KeepFlat);
  expectPlacements(fillBox(boxOf(10, 20, 5), {z, cube}), {{cube, 0, 0, 0, 5, 5, 5, "WLD"}});
}

TEST(VolumeFillerTest, BetterTurnedTrialWinsOverAnIncompleteUnturnedOne) {
  // Unturned only the 1 x 1 x 1 goes in (0.1 %); turned the 20 x 10 x 5 fills the box.
  const ItemRef never = itemOf("N", 20, 10, 5);
  const ItemRef flat = itemOf("K", 1, 1, 1, RotationPolicy::KeepFlat);
  const FilledBox filled = fillBox(boxOf(10, 20, 5), {never, flat});
  EXPECT_EQ(filled.volumeUtilisation(), 100);
}

TEST(VolumeFillerTest, RestacksLargerFootprintsBelow) {
  struct Case {
    const char* name;
    std::vector<ItemRef> items;
    std::vector<Placement> want;
  };
  // P (5 x 5 x 6) opens the first layer alone; Q (10 x 10 x 1) makes the second. Q's layer has
  // the larger area and goes below.
  const ItemRef p = itemOf("P", 5, 5, 6), q = itemOf("Q", 10, 10, 1);
  // A (10 x 10 x 2) is the first layer; B1 and B2 (5 x 10 x 3) side by side the second. Equal
  // areas: the deeper layer goes below.
  const ItemRef a = itemOf("A", 10, 10, 2), b1 = itemOf("B1", 5, 10, 3), b2 = itemOf("B2", 5, 10, 3);
  const Case cases[] = {
      {"larger_area_below", {p, q},
       {{q, 0, 0, 0, 10, 10, 1, "WLD"}, {p, 0, 0, 1, 5, 5, 6, "WLD"}}},
      {"equal_area_deeper_below", {a, b1, b2},
       {{b1, 0, 0, 0, 5, 10, 3, "WLD"}, {b2, 5, 0, 0, 5, 10, 3, "WLD"},
        {a, 0, 0, 3, 10, 10, 2, "WLD"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectPlacements(fillBox(boxOf(10, 10, 10), c.items), c.want);
  }
}

TEST(VolumeFillerTest, FillsTheGapsTheLayersLeft) {
  // S (5 x 3 x 10) then L (5 x 8 x 3.75) make the row; the gap behind S is not revisited by the
  // row, and F (4 x 4 x 9) does not fit the 6.25 above L. Gap filling puts F behind S.
  const ItemRef s = itemOf("S", 5, 3, 10, RotationPolicy::Never, 2);
  const ItemRef l = itemOf("L", 5, 8, 3.75);
  const ItemRef f = itemOf("F", 4, 4, 9);
  expectPlacements(fillBox(boxOf(10, 10, 10), {s, l, f}),
                   {{s, 0, 0, 0, 5, 3, 10, "WLD"}, {l, 5, 0, 0, 5, 8, 3.75, "WLD"},
                    {f, 0, 3, 0, 4, 4, 9, "WLD"}});
}

TEST(VolumeFillerTest, LookaheadModeMakesOneQuickTrial) {
  struct Case {
    const char* name;
    BoxRef box;
    std::vector<ItemRef> items;
    std::vector<Placement> want;
  };
  const ItemRef p = itemOf("P", 5, 5, 6), q = itemOf("Q", 10, 10, 1);
  const ItemRef s = itemOf("S", 5, 3, 10, RotationPolicy::Never, 2);
  const ItemRef l = itemOf("L", 5, 8, 3.75), f = itemOf("F", 4, 4, 9);
  const ItemRef never = itemOf("N", 20, 10, 5), flat = itemOf("K", 1, 1, 1, RotationPolicy::KeepFlat);
  const ItemRef slab = itemOf("I", 10, 5, 4, RotationPolicy::BestFit);
  const Case cases[] = {
      {"layers_are_not_restacked", boxOf(10, 10, 10), {p, q},
       {{p, 0, 0, 0, 5, 5, 6, "WLD"}, {q, 0, 0, 6, 10, 10, 1, "WLD"}}},
      {"gaps_are_not_filled", boxOf(10, 10, 10), {s, l, f},
       {{s, 0, 0, 0, 5, 3, 10, "WLD"}, {l, 5, 0, 0, 5, 8, 3.75, "WLD"}}},
      {"box_is_not_turned", boxOf(10, 20, 5), {never, flat}, {{flat, 0, 0, 0, 1, 1, 1, "WLD"}}},
      // No first-item choices: the chooser picks the orientation of the first item too.
      {"first_item_is_chosen", boxOf(10, 10, 10), {slab}, {{slab, 0, 0, 0, 10, 4, 5, "WDL"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectPlacements(fillBox(c.box, c.items, true), c.want);
  }
}

TEST(VolumeFillerTest, FinalOrderTreatsAMillionthAsLevel) {
  struct Case {
    const char* name;
    std::vector<ItemRef> items;
    std::vector<std::string> order;
  };
  // A (9 x 10, very thin) opens the layer; B (0.0002 deep) beside it sets the layer's depth;
  // on the re-run at that depth C (0.0001 deep) goes on A's stack, at z = A's depth.
  const auto standingOnThin = [](double thin) {
    return std::vector<ItemRef>{itemOf("A", 9, 10, thin), itemOf("B", 0.5, 0.5, 0.0002),
                                itemOf("C", 0.5, 0.5, 0.0001)};
  };
  // A1 and A2 (5 x thin x 10) fill the first row; B (a 0.03 cube) opens the next, at y = thin.
  const auto behindThin = [](double thin) {
    return std::vector<ItemRef>{itemOf("A1", 5, thin, 10), itemOf("A2", 5, thin, 10),
                                itemOf("B", 0.03, 0.03, 0.03)};
  };
  const Case cases[] = {
      // C at z 0.000001 counts as level with B at 0 and comes first by x.
      {"z_exactly_a_millionth_apart", standingOnThin(0.000001), {"A", "C", "B"}},
      {"z_more_than_a_millionth_apart", standingOnThin(0.0000011), {"A", "B", "C"}},
      // B at y 0.000001 counts as level with A2 at 0 and comes first by x.
      {"y_exactly_a_millionth_apart", behindThin(0.000001), {"A1", "B", "A2"}},
      {"y_more_than_a_millionth_apart", behindThin(0.0000011), {"A1", "A2", "B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FilledBox filled = fillBox(boxOf(10, 10, 10), c.items);
    std::vector<std::string> order;
    for (const PlacedItem& p : filled.items()) order.push_back(p.item->itemCode());
    EXPECT_EQ(order, c.order);
  }
}

// --- Geometric property over random pools ---------------------------------------------------

constexpr double kTolerance = 1e-9;

// The extents each orientation code stands for, from the item's own sides.
std::array<double, 3> extentsOf(const Item& item, const std::string& code) {
  std::array<double, 3> out{};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    switch (code.at(axis)) {
      case 'W': out[axis] = item.width(); break;
      case 'L': out[axis] = item.length(); break;
      default: out[axis] = item.depth(); break;
    }
  }
  return out;
}

bool apart(double a0, double a1, double b0, double b1) {
  return a1 <= b0 + kTolerance || b1 <= a0 + kTolerance;
}

bool overlap(const PlacedItem& a, const PlacedItem& b) {
  return !(apart(a.x, a.x + a.width, b.x, b.x + b.width) ||
           apart(a.y, a.y + a.length, b.y, b.y + b.length) ||
           apart(a.z, a.z + a.depth, b.z, b.z + b.depth));
}

void checkPacking(const Box& box, const std::vector<ItemRef>& pool, const FilledBox& filled,
                  bool lookaheadMode) {
  std::set<const Item*> inPool;
  for (const ItemRef& item : pool) inPool.insert(item.get());
  std::set<const Item*> seen;
  double weight = 0;
  std::set<std::string> neverCodes;
  for (std::size_t i = 0; i < filled.items().size(); ++i) {
    const PlacedItem& p = filled.items()[i];
    SCOPED_TRACE(p.item->itemCode());
    EXPECT_TRUE(inPool.count(p.item.get()));
    EXPECT_TRUE(seen.insert(p.item.get()).second) << "placed twice";
    weight += p.item->weight();

    EXPECT_GE(p.x, -kTolerance);
    EXPECT_GE(p.y, -kTolerance);
    EXPECT_GE(p.z, -kTolerance);
    EXPECT_LE(p.x + p.width, box.width() + kTolerance);
    EXPECT_LE(p.y + p.length, box.length() + kTolerance);
    EXPECT_LE(p.z + p.depth, box.depth() + kTolerance);
    for (std::size_t j = i + 1; j < filled.items().size(); ++j) {
      EXPECT_FALSE(overlap(p, filled.items()[j])) << "overlaps " << filled.items()[j].item->itemCode();
    }

    const std::array<double, 3> want = extentsOf(*p.item, p.orientation);
    EXPECT_EQ(p.width, want[0]);
    EXPECT_EQ(p.length, want[1]);
    EXPECT_EQ(p.depth, want[2]);
    switch (p.item->rotationPolicy()) {
      case RotationPolicy::Never:
        // Unturned, or turned with the whole box about the vertical axis.
        EXPECT_TRUE(p.orientation == "WLD" || p.orientation == "LWD") << p.orientation;
        if (lookaheadMode) {
          EXPECT_EQ(p.orientation, "WLD");
        }
        neverCodes.insert(p.orientation);
        break;
      case RotationPolicy::KeepFlat:
        EXPECT_TRUE(p.orientation == "WLD" || p.orientation == "LWD") << p.orientation;
        break;
      case RotationPolicy::BestFit:
        break;
    }
  }
  // One packing is made either unturned or turned: all Never items share its code.
  EXPECT_LE(neverCodes.size(), 1u);
  if (box.payloadCapacity() >= 0) {
    EXPECT_LE(weight, box.payloadCapacity());
  }
}

struct ItemKind {
  double w, l, d;
  RotationPolicy policy;
};

// A side of 1 to most, a quarter of them with a fraction in steps of 1/8.
double randomSide(std::mt19937& random, int most) {
  const double whole = 1 + random() % most;
  return random() % 4 == 0 ? whole + (random() % 8) / 8.0 : whole;
}

TEST(VolumeFillerTest, RandomPackingsStayInsideAndDoNotOverlap) {
  std::mt19937 random(7031);
  const RotationPolicy policies[] = {RotationPolicy::Never, RotationPolicy::KeepFlat,
                                     RotationPolicy::BestFit};
  std::size_t placedTotal = 0;
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE(round);
    // A few kinds of item; copies of a kind share sides and policy, and two kinds never share a
    // shape, since an item following one of the same shape is offered that one's orientation.
    std::vector<ItemKind> kinds;
    const int kindCount = 1 + random() % 4;
    while (static_cast<int>(kinds.size()) < kindCount) {
      const ItemKind kind{randomSide(random, 6), randomSide(random, 6), randomSide(random, 6),
                          policies[random() % 3]};
      const SortedTriple shape(kind.w, kind.l, kind.d);
      const bool taken = std::any_of(kinds.begin(), kinds.end(), [&](const ItemKind& k) {
        return SortedTriple(k.w, k.l, k.d) == shape;
      });
      if (!taken) kinds.push_back(kind);
    }
    std::vector<ItemRef> items;
    const int itemCount = 1 + random() % 12;
    for (int i = 0; i < itemCount; ++i) {
      const ItemKind& kind = kinds[random() % kinds.size()];
      const std::string code = "I" + std::to_string(i);
      items.push_back(std::make_shared<ConcreteItem>(code, code, kind.w, kind.l, kind.d,
                                                     (random() % 21) / 2.0, kind.policy));
    }
    const double maxWeight = random() % 3 == 0 ? 2.0 + random() % 40 : -1;
    const BoxRef box = boxOf(randomSide(random, 12) + 3, randomSide(random, 12) + 3,
                             randomSide(random, 12) + 3, maxWeight, (random() % 5) / 2.0);
    const bool lookaheadMode = random() % 4 == 0;
    const FilledBox filled = fillBox(box, items, lookaheadMode);
    checkPacking(*box, items, filled, lookaheadMode);
    placedTotal += filled.itemCount();
    if (HasFailure()) break;
  }
  // The rounds are not idle: most of them place something.
  EXPECT_GT(placedTotal, 9000u);
}

}  // namespace
}  // namespace varbex
