#include "fill/volume_filler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <utility>

#include "base/portable_stable_sort.h"
#include "fill/gap_filler_shortcuts.h"
#include "fill/layer_filler_shortcuts.h"
#include "fill/lookahead_packer_shortcuts.h"
#include "fill/packing_frames_shortcuts.h"
#include "orient/orientation_chooser.h"
#include "orient/orientation_chooser_shortcuts.h"

namespace varbex {
namespace {

// Larger footprints below smaller ones, deeper below shallower on equal area; every layer keeps
// its inside and is lowered or raised to lie on the one beneath.
std::vector<Layer> restack(std::vector<Layer> layers) {
  portableStableSort(layers.begin(), layers.end(), [](const Layer& a, const Layer& b) {
    if (a.area() != b.area()) return a.area() > b.area();
    return a.depth() > b.depth();
  });
  std::vector<Layer> stacked;
  stacked.reserve(layers.size());
  double height = 0;
  for (const Layer& layer : layers) {
    Layer moved;
    for (const PlacedItem& item : layer.items()) {
      const double dz = ((item.z - layer.startZ()) + height) - item.z;
      moved.insert(item.translated(0, 0, dz));
    }
    height += moved.depth();
    stacked.push_back(std::move(moved));
  }
  return stacked;
}

// Back from a turned frame: x and y, width and length, and the first two code letters exchange.
Layer turnedBack(const Layer& layer) {
  Layer turned;
  for (const PlacedItem& item : layer.items()) {
    PlacedItem copy = item;
    std::swap(copy.x, copy.y);
    std::swap(copy.width, copy.length);
    if (copy.orientation.size() >= 2) std::swap(copy.orientation[0], copy.orientation[1]);
    turned.insert(std::move(copy));
  }
  return turned;
}

// Lower z first, then lower y, then lower x; positions within 1e-6 count as level.
bool readingOrder(const PlacedItem& a, const PlacedItem& b) {
  if (std::fabs(a.z - b.z) > 0.000001) return a.z < b.z;
  if (std::fabs(a.y - b.y) > 0.000001) return a.y < b.y;
  return a.x < b.x;
}

FilledBox finish(FilledBox filled) {
  if (filled.itemCount() <= 1) return filled;
  std::vector<PlacedItem> items = filled.items();
  // The tolerance makes this no strict weak order, so the sort's own steps decide the result.
  portableStableSort(items.begin(), items.end(),
                     [](const PlacedItem& a, const PlacedItem& b) { return readingOrder(a, b); });
  return FilledBox(filled.box(), std::move(items));
}

// Bound by reference rather than copied: a copy of an empty optional in a conditional trips
// g++ 12's maybe-uninitialized warning once the sorts around it are inlined.
const std::optional<OrientedItem> kNoOverride;

}  // namespace

VolumeFiller::VolumeFiller(BoxRef box, const Shortcuts& shortcuts)
    : box_(std::move(box)), shortcuts_(shortcuts) {}

FilledBox VolumeFiller::fill(const ItemPool& pool) const {
  const std::vector<ItemRef>& items = pool.sorted();
  if (items.empty()) return FilledBox(box_);

  const PackingFrames frames =
      packingFramesWithShortcuts(*box_, items, lookaheadMode_, shortcuts_);
  std::vector<FilledBox> kept;
  for (const auto& [width, length] : frames) {
    for (const std::optional<OrientedItem>& choice : firstItemChoices(items.front(), width, length)) {
      FilledBox result = fillOriented(width, length, choice, items);
      if (result.itemCount() == items.size()) return finish(std::move(result));
      kept.push_back(std::move(result));
    }
  }
  std::size_t best = 0;
  double bestUtilisation = kept[0].volumeUtilisation();
  for (std::size_t i = 1; i < kept.size(); ++i) {
    const double utilisation = kept[i].volumeUtilisation();
    // Strict: on equal utilisation the earlier trial stays.
    if (utilisation > bestUtilisation) {
      best = i;
      bestUtilisation = utilisation;
    }
  }
  return finish(std::move(kept[best]));
}

std::vector<std::optional<OrientedItem>> VolumeFiller::firstItemChoices(const ItemRef& first,
                                                                        double width,
                                                                        double length) const {
  if (lookaheadMode_) return {std::nullopt};
  const OrientationChooser chooser(box_, nullptr, shortcuts_);
  std::vector<std::optional<OrientedItem>> choices;
  for (OrientedItem& candidate :
       chooser.candidateOrientations(first, nullptr, width, length, box_->depth())) {
    const bool repeated = std::any_of(choices.begin(), choices.end(), [&](const auto& c) {
      return c->width == candidate.width && c->length == candidate.length &&
             c->depth == candidate.depth;
    });
    if (!repeated) choices.emplace_back(std::move(candidate));
  }
  if (choices.empty()) choices.emplace_back(std::nullopt);
  return choices;
}

FilledBox VolumeFiller::fillOriented(double width, double length,
                                     const std::optional<OrientedItem>& firstOrientation,
                                     const std::vector<ItemRef>& items) const {
  const LookaheadPackerWithShortcuts packer(shortcuts_);
  OrientationChooserWithShortcuts chooser(box_, &packer, shortcuts_);
  chooser.setLookaheadDisabled(lookaheadMode_);
  LayerFillerWithShortcuts filler(chooser, shortcuts_);
  ItemStack remaining(items.rbegin(), items.rend());
  std::vector<Layer> layers;
  // The items of all layers so far, layer by layer: the layer filler appends every item it places,
  // in the order its layer lists them, so a trial is undone by cutting the list back.
  std::vector<PlacedItem> placed;
  placed.reserve(items.size());
  ItemStack trialRemaining;  // the copy a trial layer works on, its storage kept between layers
  trialRemaining.reserve(items.size());
  double z0 = 0;  // the sum of the layers' depths, added up in layer order
  // In lookahead mode the placed list is the whole result (the box is never turned back), so the
  // layers stay with the filler, which reuses their storage.
  const bool keepLayers = !lookaheadMode_ || width != box_->width();
  Layer kept;  // the layer filled last, when layers are kept
  while (!remaining.empty()) {
    const std::optional<OrientedItem>& override = placed.empty() ? firstOrientation : kNoOverride;
    const Region region{0, 0, z0, width, length, box_->depth() - z0, 0};
    const auto fillOne = [&](ItemStack& stack, const Region& r) -> const Layer& {
      if (!keepLayers) return filler.fillLayerInPlace(stack, placed, r, true, override);
      kept = filler.fillLayer(stack, placed, r, true, override);
      return kept;
    };

    trialRemaining.assign(remaining.begin(), remaining.end());
    const std::size_t placedBefore = placed.size();
    const Layer& trial = fillOne(trialRemaining, region);
    if (trial.isEmpty()) break;
    if (trial.depth() == trial.items().front().depth) {
      z0 += trial.depth();
      if (keepLayers) layers.push_back(std::move(kept));
      remaining.swap(trialRemaining);
      continue;
    }
    // Again with the depth fixed, so that every item of the layer, the first one included, gets
    // a stack above it up to the layer's top.
    placed.erase(placed.begin() + static_cast<std::ptrdiff_t>(placedBefore), placed.end());
    filler.forgetPlacedWeight();
    Region fixed = region;
    fixed.layerDepth = trial.depth();
    const Layer& layer = fillOne(remaining, fixed);
    // Cannot place nothing after the trial placed something; guarded so the loop always ends.
    if (layer.isEmpty()) break;
    z0 += layer.depth();
    if (keepLayers) layers.push_back(std::move(kept));
  }
  if (!lookaheadMode_ && !layers.empty()) {
    layers = restack(std::move(layers));
    layers = fillGapsWithShortcuts(std::move(layers), remaining, filler, width, length,
                                   box_->depth(), wholeOrNothing_, shortcuts_);
  }
  if (width != box_->width()) {
    for (Layer& layer : layers) layer = turnedBack(layer);
  } else if (lookaheadMode_) {
    // Without restacking and gaps the placed list holds the layers' items, layer by layer.
    return FilledBox(box_, std::move(placed));
  }
  placed.clear();
  for (Layer& layer : layers) {
    std::vector<PlacedItem> items = layer.releaseItems();
    placed.insert(placed.end(), std::make_move_iterator(items.begin()),
                  std::make_move_iterator(items.end()));
  }
  return FilledBox(box_, std::move(placed));
}

}  // namespace varbex
