#include "fill/set_aside_stack.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/item.h"

namespace varbex {
namespace {

// The stack as the layer filler once kept it: items set aside moved to a list of their region,
// which went back reversed once nothing was left to try.
struct MovingStack {
  ItemStack toTry;
  std::vector<ItemStack> setAside;  // one list per open region, innermost last
};

bool isCopy(const ItemRef& below, const ItemRef& above) {
  return below == above || shapeOf(*below) == shapeOf(*above);
}

std::vector<const Item*> addresses(ItemStackView items) {
  std::vector<const Item*> out;
  for (const ItemRef& item : items) out.push_back(item.get());
  return out;
}

std::vector<const Item*> addresses(StackedItems items) {
  std::vector<const Item*> out;
  for (const StackedItem& item : items) out.push_back(item.item());
  return out;
}

// Random walks of takes, removals, set-asides, nested regions and put-backs, as the filler makes
// them, leave the items to try where the moving stack has them, the array beside the stack in
// step, and each next item told whether the item taken above it is a copy.
TEST(SetAsideStackTest, AgreesWithMovingTheItemsOnRandomWalks) {
  std::mt19937 random(5);
  std::vector<ItemRef> pool;
  for (int i = 0; i < 40; ++i) {
    const double width = i % 7 == 6 ? std::nan("") : 1 + i % 3;
    pool.push_back(std::make_shared<ConcreteItem>("I", "I", width, 2, 3, i % 5,
                                                  RotationPolicy::BestFit));
    if (i % 9 == 8) pool.push_back(pool.back());  // one object twice in a row
  }
  std::vector<StackedItem> stacked;
  for (int walk = 0; walk < 3000; ++walk) {
    ItemStack items(pool.begin(), pool.begin() + static_cast<long>(random() % pool.size()));
    MovingStack model{items, {{}}};
    SetAsideStack stack(items, stacked);
    std::vector<std::size_t> marks{stack.mark()};
    while (true) {
      ASSERT_EQ(addresses(stack.toTry()), addresses(ItemStackView(model.toTry)));
      ASSERT_EQ(addresses(stack.stackedToTry()), addresses(ItemStackView(model.toTry)));
      if (stack.empty()) {
        stack.putBack(marks.back());
        ItemStack& aside = model.setAside.back();
        model.toTry.assign(aside.rbegin(), aside.rend());
        aside.clear();
        if (model.toTry.empty() || random() % 3 == 0) {
          if (marks.size() == 1) break;
          marks.pop_back();
          model.setAside.pop_back();
        }
        continue;
      }
      const unsigned step = random() % 8;
      if (step == 0 && marks.size() < 6) {
        marks.push_back(stack.mark());
        model.setAside.emplace_back();
      } else if (step == 1) {
        model.setAside.back().push_back(model.toTry.back());
        model.toTry.pop_back();
        stack.setAsideNext();
      } else {
        const ItemRef& item = stack.takeNext();
        ASSERT_EQ(item, model.toTry.back());
        ASSERT_EQ(stack.inHand().item(), item.get());
        if (model.toTry.size() >= 2) {
          ASSERT_EQ(stack.stackedToTry().back().copyOfAbove(),
                    isCopy(model.toTry[model.toTry.size() - 2], item));
        }
        if (step < 5) {
          stack.takeOut();
        } else {
          model.setAside.back().push_back(model.toTry.back());
        }
        model.toTry.pop_back();
      }
    }
    stack.close();
    ASSERT_EQ(addresses(ItemStackView(items)), addresses(ItemStackView(model.toTry)));
  }
}

}  // namespace
}  // namespace varbex
