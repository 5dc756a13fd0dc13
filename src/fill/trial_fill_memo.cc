#include "fill/trial_fill_memo.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "base/word_hash.h"

namespace varbex {
namespace {

thread_local std::unique_ptr<TrialFillMemo> threadMemo;

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

std::size_t TrialFillKeyHash::operator()(const TrialFillKey& key) const {
  return mixBits(
      foldWords(reinterpret_cast<const std::int64_t*>(key.words.data()), key.words.size()));
}

std::optional<TrialFillKey> trialFillKeyOf(const Box& volume, const std::vector<ItemRef>& items) {
  if (items.size() > TrialFillKey::kMaxItems || volume.payloadCapacity() >= 0) return std::nullopt;
  TrialFillKey key;
  auto& w = key.words;
  const double extents[3] = {volume.width(), volume.length(), volume.depth()};
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::isnan(extents[i])) return std::nullopt;
    w[i] = bitsOf(extents[i]);
  }
  w[3] = items.size();
  for (std::size_t i = 0; i < items.size(); ++i) {
    double values[4];
    RotationPolicy policy;
    withItemData(*items[i], [&values, &policy](const auto& item) {
      values[0] = item.width();
      values[1] = item.length();
      values[2] = item.depth();
      values[3] = item.weight();
      policy = item.rotationPolicy();
    });
    const std::size_t at = 4 + 5 * i;
    for (std::size_t k = 0; k < 4; ++k) {
      if (std::isnan(values[k])) return std::nullopt;
      w[at + k] = bitsOf(values[k]);
    }
    w[at + 4] = static_cast<std::uint64_t>(policy);
  }
  return key;
}

TrialFillMemo& TrialFillMemo::forThisThread() {
  if (!threadMemo) threadMemo = std::make_unique<TrialFillMemo>();
  return *threadMemo;
}

void TrialFillMemo::insert(const TrialFillKey& key, Placed placed) {
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_.insert(key, placed);
}

}  // namespace varbex
