#include "model/filled_box.h"

#include <algorithm>
#include <utility>

namespace varbex {

FilledBox::FilledBox(BoxRef box) : box_(std::move(box)) {}

FilledBox::FilledBox(BoxRef box, std::vector<PlacedItem> items)
    : box_(std::move(box)), items_(std::move(items)) {}

void FilledBox::addItem(PlacedItem item) { items_.push_back(std::move(item)); }

double FilledBox::itemWeight() const {
  double sum = 0;
  for (const PlacedItem& placed : items_) sum += placed.item->weight();
  return sum;
}

double FilledBox::totalWeight() const { return box_->emptyWeight() + itemWeight(); }

double FilledBox::remainingWeight() const {
  if (!box_->hasMaxWeight()) return -1;
  return std::max(box_->maxWeight() - (box_->emptyWeight() + itemWeight()), 0.0);
}

double FilledBox::usedVolume() const {
  double sum = 0;
  for (const PlacedItem& placed : items_) sum += (placed.length * placed.width) * placed.depth;
  return sum;
}

double FilledBox::unusedVolume() const { return box_->innerVolume() - usedVolume(); }

double FilledBox::volumeUtilisation() const {
  const double inner = box_->innerVolume();
  if (inner <= 0) return 0;
  return usedVolume() / inner * 100;
}

double FilledBox::usedWidth() const {
  double used = 0;
  for (const PlacedItem& placed : items_) used = std::max(used, placed.x + placed.width);
  return used;
}

double FilledBox::usedLength() const {
  double used = 0;
  for (const PlacedItem& placed : items_) used = std::max(used, placed.y + placed.length);
  return used;
}

double FilledBox::usedDepth() const {
  double used = 0;
  for (const PlacedItem& placed : items_) used = std::max(used, placed.z + placed.depth);
  return used;
}

double FilledBox::remainingWidth() const { return box_->width() - usedWidth(); }
double FilledBox::remainingLength() const { return box_->length() - usedLength(); }
double FilledBox::remainingDepth() const { return box_->depth() - usedDepth(); }

}  // namespace varbex
