#include "solver/content_fit_memo.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "solver/item_ranks.h"

namespace varbex {
namespace {

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The position of each placed item in `sorted`; an object listed twice takes its positions in
// order.
std::vector<std::size_t> positionsOf(const FilledBox& packing, const std::vector<ItemRef>& sorted) {
  std::vector<std::size_t> positions;
  positions.reserve(packing.itemCount());
  std::vector<bool> taken(sorted.size(), false);
  for (const PlacedItem& placed : packing.items()) {
    for (std::size_t k = 0; k < sorted.size(); ++k) {
      if (!taken[k] && sorted[k].get() == placed.item.get()) {
        taken[k] = true;
        positions.push_back(k);
        break;
      }
    }
  }
  return positions;
}

}  // namespace

std::size_t ContentFitMemo::KeyHash::operator()(const Key& key) const {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::uint64_t word : key) {
    hash ^= word;
    hash *= 0x100000001b3ULL;
    hash ^= hash >> 29;  // lets the high bits of the words reach the low bits of the hash
  }
  return static_cast<std::size_t>(hash);
}

bool ContentFitMemo::contentOf(const Item& item, Content& content) {
  const double values[4] = {item.width(), item.length(), item.depth(), item.weight()};
  for (std::size_t k = 0; k < 4; ++k) {
    if (std::isnan(values[k])) return false;
    content[k] = bitsOf(values[k]);
  }
  content[4] = static_cast<std::uint64_t>(item.rotationPolicy());
  return true;
}

std::optional<ContentFitMemo::Key> ContentFitMemo::keyOf(const std::vector<ItemRef>& sorted,
                                                         const Box& box) {
  Key key;
  key.reserve(1 + 5 * sorted.size());
  key.push_back(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&box)));
  Content content;
  for (const ItemRef& item : sorted) {
    if (!contentOf(*item, content)) return std::nullopt;
    key.insert(key.end(), content.begin(), content.end());
  }
  return key;
}

std::optional<ContentFitMemo::Key> ContentFitMemo::keyOfContents(
    const std::vector<std::uint32_t>& contents, const Box& box) {
  Key key;
  key.reserve(2 + contents.size());
  key.push_back(0);  // no box is at address 0, so this tells these keys from keyOf's
  key.push_back(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&box)));
  for (const std::uint32_t content : contents) {
    if (content == ItemRanks::kNoContent) return std::nullopt;
    key.push_back(content);
  }
  return key;
}

std::optional<std::optional<FilledBox>> ContentFitMemo::find(
    const Key& key, const std::vector<ItemRef>& sorted) const {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return std::nullopt;
  const Entry& entry = found->second;
  if (!entry.packing) return std::optional<FilledBox>();
  FilledBox packing(entry.packing->box());
  const std::vector<PlacedItem>& items = entry.packing->items();
  for (std::size_t j = 0; j < items.size(); ++j) {
    PlacedItem placed = items[j];
    placed.item = sorted[entry.positions[j]];
    packing.addItem(std::move(placed));
  }
  return std::optional<FilledBox>(std::move(packing));
}

void ContentFitMemo::insert(Key key, const std::vector<ItemRef>& sorted,
                            const std::optional<FilledBox>& result) {
  Entry entry;
  if (result) {
    entry.positions = positionsOf(*result, sorted);
    entry.packing = result;
  }
  entries_.emplace(std::move(key), std::move(entry));
}

}  // namespace varbex
