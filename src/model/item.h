#pragma once

#include <memory>
#include <string>
#include <typeinfo>

#include <nlohmann/json_fwd.hpp>

#include "model/rotation_policy.h"
#include "model/sorted_triple.h"

namespace varbex {

// One physical piece to pack; immutable once built and shared by every holder. Codes need not be
// unique: identity, not equality, tells two items apart.
class Item {
 public:
  virtual ~Item() = default;

  virtual const std::string& itemCode() const = 0;
  virtual const std::string& itemReference() const = 0;
  virtual double width() const = 0;   // along x when unturned
  virtual double length() const = 0;  // along y when unturned
  virtual double depth() const = 0;   // along z when unturned
  virtual double weight() const = 0;
  virtual RotationPolicy rotationPolicy() const = 0;

  virtual double volume() const;
  // The item's JSON form (visitJsonMembers lists its members).
  nlohmann::json toJson() const;
  // The three extents sorted ascending: the item's shape whatever its orientation.
  virtual SortedTriple shape() const { return SortedTriple(width(), length(), depth()); }
  // The box group when this is a LinkedItem, otherwise nullptr: the type test, without the cost
  // of a dynamic_cast in the item order's comparisons.
  virtual const std::string* linkedGroup() const { return nullptr; }
};

using ItemRef = std::shared_ptr<const Item>;

class ConcreteItem final : public Item {
 public:
  ConcreteItem(std::string itemCode, std::string itemReference, double width, double length,
               double depth, double weight, RotationPolicy rotationPolicy);

  const std::string& itemCode() const override { return itemCode_; }
  const std::string& itemReference() const override { return itemReference_; }
  double width() const override { return width_; }
  double length() const override { return length_; }
  double depth() const override { return depth_; }
  double weight() const override { return weight_; }
  RotationPolicy rotationPolicy() const override { return rotationPolicy_; }
  SortedTriple shape() const override { return shape_; }
  double volume() const override { return volume_; }

 private:
  std::string itemCode_;
  std::string itemReference_;
  double width_;
  double length_;
  double depth_;
  double weight_;
  RotationPolicy rotationPolicy_;
  SortedTriple shape_;  // kept because copies of an item are compared by shape very often
  double volume_;       // (width x length) x depth, kept because every item sort asks for it
};

// An item that may share a box only with items of its own box group or with ungrouped items.
class LinkedItem : public Item {
 public:
  virtual const std::string& boxGroup() const = 0;
  const std::string* linkedGroup() const final { return &boxGroup(); }
};

class ConcreteLinkedItem final : public LinkedItem {
 public:
  // Throws std::invalid_argument when boxGroup is empty.
  ConcreteLinkedItem(ConcreteItem item, std::string boxGroup);

  const std::string& itemCode() const override { return item_.itemCode(); }
  const std::string& itemReference() const override { return item_.itemReference(); }
  double width() const override { return item_.width(); }
  double length() const override { return item_.length(); }
  double depth() const override { return item_.depth(); }
  double weight() const override { return item_.weight(); }
  RotationPolicy rotationPolicy() const override { return item_.rotationPolicy(); }
  const std::string& boxGroup() const override { return boxGroup_; }
  SortedTriple shape() const override { return item_.shape(); }
  double volume() const override { return item_.volume(); }
  // The item's own data, for reading it without a virtual call (withItemData).
  const ConcreteItem& concreteItem() const { return item_; }

 private:
  ConcreteItem item_;
  std::string boxGroup_;
};

// The item read from the request behind `item`, linked or not; nullptr for any other kind.
[[gnu::always_inline]] inline const ConcreteItem* asConcreteItem(const Item& item) {
  // The type_info objects are compared by address only, which spares the string comparison that
  // type_info equality may fall back on, and even reading the name: the loop over the stack waits
  // on every load from an item it has not touched yet. The same address means the same class;
  // were one class's type_info ever found at two addresses, its items would just be read the
  // slower way.
  const std::type_info* type = &typeid(item);
  if (type == &typeid(ConcreteItem)) return static_cast<const ConcreteItem*>(&item);
  if (type == &typeid(ConcreteLinkedItem)) {
    return &static_cast<const ConcreteLinkedItem&>(item).concreteItem();
  }
  return nullptr;
}

// `read` applied to the item as its final class when that is known, so that the inner loops of
// packing, which read the same few values of every item over and over, pay one type test instead
// of one virtual call per value. The values read are the same either way.
template <typename Read>
[[gnu::always_inline]] inline decltype(auto) withItemData(const Item& item, Read read) {
  if (const ConcreteItem* concrete = asConcreteItem(item)) return read(*concrete);
  return read(item);
}

inline SortedTriple shapeOf(const Item& item) {
  return withItemData(item, [](const auto& i) { return i.shape(); });
}

inline double weightOf(const Item& item) {
  return withItemData(item, [](const auto& i) { return i.weight(); });
}

// The box group of a linked item, or nullptr for an item that may go into any box.
inline const std::string* boxGroupOf(const Item& item) { return item.linkedGroup(); }

// The members of the item's JSON form in the order of their keys, as a JSON object writes them:
// `visit(key, value)` with a number, a text, or the box group as a pointer that is null for an
// item of no group. One list serves the JSON value of toJson and the response, which writes its
// text directly.
template <typename Visit>
void visitJsonMembers(const Item& item, Visit visit) {
  visit("AllowedRotation", rotationPolicyName(item.rotationPolicy()));
  visit("BoxGroup", boxGroupOf(item));
  visit("Depth", item.depth());
  visit("ItemCode", item.itemCode());
  visit("ItemReference", item.itemReference());
  visit("Length", item.length());
  visit("Volume", item.volume());
  visit("Weight", item.weight());
  visit("Width", item.width());
}

// Same object, or equal (width, length, depth) triples once each is sorted ascending.
inline bool haveSameShape(const Item& a, const Item& b) {
  return &a == &b || shapeOf(a) == shapeOf(b);
}

}  // namespace varbex
