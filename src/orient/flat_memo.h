#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varbex {

// A grow-only hash map for the memos of trial work: entries in a vector, found through an
// open-addressing table of slots that hold part of each key's hash, so that a lookup reads one
// slot array and, on a hash match, one entry. A node-based map chased pointers instead and, for
// keys of hundreds of bytes, re-hashed whole keys along its bucket chains.
template <typename Key, typename Value, typename Hash>
class FlatMemo {
 public:
  const Value* find(const Key& key) const {
    if (entries_.empty()) return nullptr;
    const std::uint64_t slot = slots_[slotOf(key, Hash{}(key))];
    return slot == 0 ? nullptr : &entries_[entryIndexOf(slot)].value;
  }

  // A key already present keeps its first value.
  void insert(const Key& key, const Value& value) {
    if (slots_.size() < 2 * (entries_.size() + 1)) grow();
    const std::uint64_t hash = Hash{}(key);
    const std::size_t at = slotOf(key, hash);
    if (slots_[at] != 0) return;
    entries_.push_back(Entry{key, value});
    slots_[at] = tagOf(hash) | static_cast<std::uint64_t>(entries_.size());
  }

  std::size_t size() const { return entries_.size(); }

  // Drops every entry, keeping the storage.
  void clear() {
    entries_.clear();
    std::fill(slots_.begin(), slots_.end(), 0);
  }

 private:
  struct Entry {
    Key key;
    Value value;
  };

  static constexpr std::size_t kFirstSlotCount = 1024;

  static std::uint64_t tagOf(std::uint64_t hash) { return hash & 0xffffffff00000000ULL; }
  static std::size_t entryIndexOf(std::uint64_t slot) {
    return static_cast<std::size_t>(slot & 0xffffffffULL) - 1;
  }

  // The slot where `key` is, or the empty slot where it would go. The low bits of the hash pick
  // the first slot and the high bits are the tag, so a tag match is rarely another key.
  std::size_t slotOf(const Key& key, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = tagOf(hash);
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
      const std::uint64_t slot = slots_[at];
      if (slot == 0) return at;
      if (tagOf(slot) == tag && entries_[entryIndexOf(slot)].key == key) return at;
    }
  }

  void grow() {
    const std::size_t count = slots_.empty() ? kFirstSlotCount : 2 * slots_.size();
    slots_.assign(count, 0);
    const std::size_t mask = count - 1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const std::uint64_t hash = Hash{}(entries_[i].key);
      std::size_t at = static_cast<std::size_t>(hash) & mask;
      while (slots_[at] != 0) at = (at + 1) & mask;
      slots_[at] = tagOf(hash) | static_cast<std::uint64_t>(i + 1);
    }
  }

  std::vector<Entry> entries_;
  // 0 for an empty slot, otherwise the hash's upper half and the entry's index + 1; the length is
  // a power of two at least twice the number of entries.
  std::vector<std::uint64_t> slots_;
};

}  // namespace varbex
