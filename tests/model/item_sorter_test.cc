#include "model/item_sorter.h"

#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace varbex {
namespace {

ItemRef itemOf(double width, double length, double depth, double weight = 0,
               std::string code = "A") {
  return std::make_shared<ConcreteItem>(code, code, width, length, depth, weight,
                                        RotationPolicy::BestFit);
}

ItemRef groupedOf(std::string group, double width, double length, double depth,
                  double weight = 0, std::string code = "A") {
  return std::make_shared<ConcreteLinkedItem>(
      ConcreteItem(code, code, width, length, depth, weight, RotationPolicy::BestFit),
      std::move(group));
}

TEST(ItemSorterTest, PutsUngroupedThenGroupsThenLargeHeavyItemsFirst) {
  const double nan = std::nan("");
  struct Case {
    const char* name;
    ItemRef a, b;
    int aToB;  // compare(a, b)
    int bToA;  // compare(b, a)
  };
  const Case kCases[] = {
      {"ungrouped_before_much_larger_grouped", itemOf(1, 1, 1), groupedOf("a", 10, 10, 10), -1,
       1},
      {"upper_case_group_first", groupedOf("B", 1, 1, 1), groupedOf("a", 10, 10, 10), -1, 1},
      {"group_prefix_first", groupedOf("a", 1, 1, 1), groupedOf("ab", 10, 10, 10), -1, 1},
      // Bytes compare as unsigned: 'z' (0x7A) before the lead byte 0xC3 of "é".
      {"group_bytes_unsigned", groupedOf("z", 1, 1, 1), groupedOf("\xC3\xA9", 10, 10, 10), -1, 1},
      {"larger_volume_first", itemOf(2, 2, 2), itemOf(1, 1, 1), -1, 1},
      {"larger_volume_first_within_group", groupedOf("g", 2, 2, 2), groupedOf("g", 1, 1, 1), -1,
       1},
      {"volume_beats_weight", itemOf(2, 2, 2, 0), itemOf(1, 1, 1, 100), -1, 1},
      {"volume_beats_code", itemOf(2, 2, 2, 0, "Z"), itemOf(1, 1, 1, 0, "A"), -1, 1},
      {"heavier_first_at_equal_volume", itemOf(2, 3, 4, 5), itemOf(4, 3, 2, 1), -1, 1},
      {"weight_beats_code", itemOf(1, 1, 1, 2, "Z"), itemOf(1, 1, 1, 1, "A"), -1, 1},
      {"code_in_byte_order", itemOf(1, 1, 1, 0, "A10"), itemOf(1, 1, 1, 0, "A9"), -1, 1},
      {"code_prefix_first", itemOf(1, 1, 1, 0, "A"), itemOf(1, 1, 1, 0, "A1"), -1, 1},
      {"upper_case_code_first", itemOf(1, 1, 1, 0, "Z"), itemOf(1, 1, 1, 0, "a"), -1, 1},
      {"all_equal", itemOf(1, 2, 3, 4, "X"), itemOf(3, 2, 1, 4, "X"), 0, 0},
      {"all_equal_grouped", groupedOf("g", 1, 1, 1, 0, "X"), groupedOf("g", 1, 1, 1, 0, "X"), 0,
       0},
      // A NaN in the first differing key answers +1 both ways.
      {"nan_volume", itemOf(nan, 1, 1), itemOf(1, 1, 1), 1, 1},
      {"nan_volume_on_both", itemOf(nan, 1, 1), itemOf(nan, 1, 1), 1, 1},
      {"nan_weight", itemOf(1, 1, 1, nan), itemOf(1, 1, 1, 0), 1, 1},
      // The group decides before a NaN volume is looked at.
      {"nan_volume_after_group", groupedOf("a", nan, 1, 1), groupedOf("b", 1, 1, 1), -1, 1},
      {"nan_volume_after_ungrouped", itemOf(nan, 1, 1), groupedOf("b", 1, 1, 1), -1, 1},
  };
  const DefaultItemSorter sorter;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sorter.compare(*c.a, *c.b), c.aToB);
    EXPECT_EQ(sorter.compare(*c.b, *c.a), c.bToA);
  }
}

}  // namespace
}  // namespace varbex
