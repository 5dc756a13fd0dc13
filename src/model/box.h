#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace varbex {

// A rectangular container type; immutable once built and shared by every holder.
class Box {
 public:
  virtual ~Box() = default;

  virtual const std::string& reference() const = 0;
  virtual double width() const = 0;   // along x
  virtual double length() const = 0;  // along y
  virtual double depth() const = 0;   // along z, vertical
  virtual double emptyWeight() const = 0;
  virtual double maxWeight() const = 0;  // negative: no maximum
  virtual bool isActive() const = 0;

  virtual bool hasMaxWeight() const;
  virtual double innerVolume() const;
  // Weight the contents may add: -1 when unlimited, otherwise never negative.
  virtual double payloadCapacity() const;
  virtual nlohmann::json toJson() const;
};

using BoxRef = std::shared_ptr<const Box>;

// A box type read from a request without a supply limit.
class ConcreteBox final : public Box {
 public:
  ConcreteBox(std::string reference, double width, double length, double depth, double maxWeight,
              double emptyWeight, bool active);

  const std::string& reference() const override { return reference_; }
  double width() const override { return width_; }
  double length() const override { return length_; }
  double depth() const override { return depth_; }
  double emptyWeight() const override { return emptyWeight_; }
  double maxWeight() const override { return maxWeight_; }
  bool isActive() const override { return active_; }

 private:
  std::string reference_;
  double width_;
  double length_;
  double depth_;
  double maxWeight_;
  double emptyWeight_;
  bool active_;
};

// A box type of which only maximumBoxes() boxes may be used in one packing.
class LimitedSupplyBox : public Box {
 public:
  virtual std::int32_t maximumBoxes() const = 0;
  nlohmann::json toJson() const override;
};

class ConcreteLimitedSupplyBox final : public LimitedSupplyBox {
 public:
  ConcreteLimitedSupplyBox(ConcreteBox box, std::int32_t maximumBoxes);

  const std::string& reference() const override { return box_.reference(); }
  double width() const override { return box_.width(); }
  double length() const override { return box_.length(); }
  double depth() const override { return box_.depth(); }
  double emptyWeight() const override { return box_.emptyWeight(); }
  double maxWeight() const override { return box_.maxWeight(); }
  bool isActive() const override { return box_.isActive(); }
  std::int32_t maximumBoxes() const override { return maximumBoxes_; }

 private:
  ConcreteBox box_;
  std::int32_t maximumBoxes_;
};

// A free region trial-packed like a box: weightless, without a weight limit, always active.
class WorkingVolume final : public Box {
 public:
  WorkingVolume(double width, double length, double depth);

  // Named on first use: trial fills make many volumes and almost never ask for the name.
  const std::string& reference() const override;
  double width() const override { return width_; }
  double length() const override { return length_; }
  double depth() const override { return depth_; }
  double emptyWeight() const override { return 0; }
  double maxWeight() const override { return -1; }
  bool isActive() const override { return true; }

 private:
  double width_;
  double length_;
  double depth_;
  mutable std::once_flag named_;
  mutable std::string reference_;
};

// The supply limit of a box type, or nullptr when its supply is unlimited.
inline const LimitedSupplyBox* asLimitedSupply(const Box& box) {
  return dynamic_cast<const LimitedSupplyBox*>(&box);
}

}  // namespace varbex
