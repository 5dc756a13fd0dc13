#include "insights/unplaced_reason.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "api/request_reader.h"
#include "insights/box_stability.h"

namespace varbex::insights {
namespace {

std::vector<BoxRef> boxTypes(const char* boxes) {
  return readRequest(nlohmann::json::parse(std::string("{\"boxes\":") + boxes + "}"))
      .boxes.entries();
}

ItemRef item(const char* text) { return readItem(nlohmann::json::parse(text)); }

struct Case {
  const char* what;
  const char* item;
  const char* boxes;
  BoxesUsed used;
  UnplacedReason reason;
  const char* message;
};

// Each case holds its reason and none before it; the messages name the numbers that decide it.
TEST(UnplacedReasonTest, FirstReasonThatHoldsWithItsNumbers) {
  const char* supply =
      R"([{"Reference":"Pallet","Width":10,"Length":10,"Depth":10,"MaxWeight":-1,"MaximumBoxes":2},
          {"Reference":"Crate","Width":5,"Length":5,"Depth":5,"MaxWeight":-1,"MaximumBoxes":1},
          {"Reference":"Weak","Width":10,"Length":10,"Depth":10,"MaxWeight":0.5}])";
  const char* unit = R"({"ItemCode":"U","Width":1,"Length":1,"Depth":1,"Weight":1})";
  const Case cases[] = {
      {"no box types", unit, "[]", {}, UnplacedReason::NoActiveBoxType,
       "the request has no box types"},
      {"only inactive ones",
       unit,
       R"([{"Reference":"A","Width":9,"Length":9,"Depth":9,"MaxWeight":-1,"Active":false},
           {"Reference":"B","Width":9,"Length":9,"Depth":9,"MaxWeight":-1,"Active":false}])",
       {},
       UnplacedReason::NoActiveBoxType,
       "none of the request's 2 box types is active"},
      // Lying on its side (12 along x) it would fit; KeepFlat keeps the 12 vertical, over 10. The
      // inactive 50-cube does not count.
      {"KeepFlat keeps it upright",
       R"({"ItemCode":"K","Width":5,"Length":5,"Depth":12,"AllowedRotation":"keep_flat"})",
       R"([{"Reference":"Big","Width":50,"Length":50,"Depth":50,"MaxWeight":-1,"Active":false},
           {"Reference":"Flat","Width":20,"Length":20,"Depth":10,"MaxWeight":-1}])",
       {},
       UnplacedReason::TooLarge,
       "5 \u00d7 5 \u00d7 12 fits no active box type in the 2 orientations KeepFlat allows; the "
       "largest, Flat, is 20 \u00d7 20 \u00d7 10 inside"},
      // Turned about the vertical it would fit the 5 x 12 floor; Never leaves 12 along x.
      {"Never leaves it unturned",
       R"({"ItemCode":"N","Width":12,"Length":5,"Depth":5,"AllowedRotation":"NEVER"})",
       R"([{"Reference":"Long","Width":5,"Length":12,"Depth":5,"MaxWeight":-1}])",
       {},
       UnplacedReason::TooLarge,
       "12 \u00d7 5 \u00d7 5 fits no active box type in the one orientation Never allows; the "
       "largest, Long, is 5 \u00d7 12 \u00d7 5 inside"},
      // Light carries 27 - 2 = 25 < 30; Tiny has no limit but is too small; Thin fits by size
      // and carries 10 - 12 < 0, hence 0.
      {"over every payload capacity",
       R"({"ItemCode":"H","Width":1,"Length":1,"Depth":1,"Weight":30})",
       R"([{"Reference":"Light","Width":10,"Length":10,"Depth":10,"MaxWeight":27,"BoxWeight":2},
           {"Reference":"Tiny","Width":0.5,"Length":0.5,"Depth":0.5,"MaxWeight":-1},
           {"Reference":"Thin","Width":3,"Length":3,"Depth":3,"MaxWeight":10,"BoxWeight":12}])",
       {},
       UnplacedReason::TooHeavy,
       "weight 30 is over the payload capacity of every box type it fits; the largest, Light, "
       "carries 25 (maximum weight 27 less empty weight 2)"},
      // Weak takes its size but not its weight (1 > 0.5); both others are used up.
      {"supplies used up", unit, supply, {{"Pallet", 2}, {"Crate", 1}},
       UnplacedReason::BoxSupplyUsedUp, "every box type it fits is used up: Pallet 2 of 2, Crate 1 of 1"},
      // A crate is left: 125 inside is less than the pallet's 1000, so the crate is named.
      {"room in an empty box", unit, supply, {{"Pallet", 1}, {"Crate", 0}},
       UnplacedReason::NoRoom,
       "1 \u00d7 1 \u00d7 1, weight 1, fits an empty Crate (5 \u00d7 5 \u00d7 5 inside, 0 of 1 "
       "used) but the packing found it no place"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const UnplacedVerdict verdict = explainUnplaced(*item(c.item), boxTypes(c.boxes), c.used);
    EXPECT_STREQ(reasonCode(verdict.reason), reasonCode(c.reason));
    EXPECT_EQ(verdict.message, c.message);
  }
}

PlacedExtent at(const char* code, double x, double y, double z, double w, double l, double d,
                double weight) {
  return PlacedExtent{code, x, y, z, w, l, d, weight};
}

// A 10-cube holding a slab A on the floor, a block C on half of it, and a plank D half on C and
// half in the air; an item without extent takes no part.
TEST(BoxStabilityTest, SupportLoadAndCentreOfAStack) {
  PackedBox box{"B", 10, 10, 10,
                {at("A", 0, 0, 0, 10, 10, 2, 4), at("C", 0, 0, 2, 5, 10, 3, 2),
                 at("D", 0, 0, 5, 10, 5, 1, 1), at("Z", 3, 3, 2, 0, 1, 1, 0)}};
  const BoxStanding s = measureBox(box);
  // D's base is 10 x 5 = 50, of which C's top covers x in [0, 5), y in [0, 5): 25.
  EXPECT_EQ(s.items[0].support, 1.0);
  EXPECT_EQ(s.items[1].support, 1.0);
  EXPECT_EQ(s.items[2].support, 0.5);
  EXPECT_FALSE(s.items[3].support.has_value());
  EXPECT_FALSE(s.items[3].loadOnTop.has_value());
  EXPECT_TRUE(s.items[2].overhang);
  EXPECT_FALSE(s.items[1].overhang);
  // D weighs 1 on C; C passes 2 + 1 to A; A passes 4 + 3 to the floor.
  EXPECT_EQ(s.items[2].loadOnTop, 0.0);
  EXPECT_EQ(s.items[1].loadOnTop, 1.0);
  EXPECT_EQ(s.items[0].loadOnTop, 3.0);
  EXPECT_EQ(s.floorLoad, 7.0);
  // Centres (5, 5, 1) x 4, (2.5, 5, 3.5) x 2, (5, 2.5, 5.5) x 1 over 7.
  ASSERT_TRUE(s.centreOfGravity.has_value());
  EXPECT_EQ(s.centreOfGravity->x, 30.0 / 7);
  EXPECT_EQ(s.centreOfGravity->y, 32.5 / 7);
  EXPECT_EQ(s.centreOfGravity->z, 16.5 / 7);
  EXPECT_EQ(s.offsetX, (30.0 / 7 - 5) / 10);
  EXPECT_EQ(s.offsetY, (32.5 / 7 - 5) / 10);
}

// A top face within 1e-9 relative of the base meets it; one further off does not; nothing weighs
// anything, so there is no centre.
TEST(BoxStabilityTest, ContactToleranceAndWeightlessBox) {
  PackedBox box{"B", 4, 4, 1e6,
                {at("L", 0, 0, 0, 2, 4, 1e5, 0), at("R", 2, 0, 0, 2, 4, 1e5 + 1e-5, 0),
                 at("T", 0, 0, 1e5 + 5e-5, 4, 4, 1, 0)}};
  const BoxStanding s = measureBox(box);
  // T at 100000.00005 meets L's top 100000 (5e-5 <= 1e-4) and R's top 100000.00001: all of it.
  EXPECT_EQ(s.items[2].support, 1.0);
  box.items[2].z = 1e5 + 2e-4;  // 2e-4 from L's top, 1.9e-4 from R's: neither meets it
  EXPECT_EQ(measureBox(box).items[2].support, 0.0);
  EXPECT_FALSE(s.centreOfGravity.has_value());
  EXPECT_FALSE(s.offsetX.has_value());
}

}  // namespace
}  // namespace varbex::insights
