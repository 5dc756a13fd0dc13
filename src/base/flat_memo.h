#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varbex {

// A grow-only hash map for the memos of trial work: entries in fixed chunks, found through an
// open-addressing table of slots that hold part of each key's hash, so that a lookup reads one
// slot array and, on a hash match, one entry. A node-based map chased pointers instead and, for
// keys of hundreds of bytes, re-hashed whole keys along its bucket chains.
template <typename Key, typename Value, typename Hash>
class FlatMemo {
 public:
  const Value* find(const Key& key) const { return find(key, Hash{}(key)); }

  // With the key's hash already at hand; it must be what Hash gives for the key.
  const Value* find(const Key& key, std::uint64_t hash) const {
    if (size_ == 0) return nullptr;
    const std::uint64_t slot = slots_[slotOf(key, hash)];
    return slot == 0 ? nullptr : &entry(entryIndexOf(slot)).value;
  }

  // A key already present keeps its first value.
  void insert(const Key& key, const Value& value) { insert(key, value, Hash{}(key)); }

  void insert(const Key& key, const Value& value, std::uint64_t hash) {
    if (slots_.size() < 2 * (size_ + 1)) grow();
    const std::size_t at = slotOf(key, hash);
    if (slots_[at] != 0) return;
    const std::size_t chunk = size_ / kChunkEntries;
    if (chunk == chunks_.size()) {
      chunks_.emplace_back();
      chunks_.back().reserve(kChunkEntries);
    }
    chunks_[chunk].push_back(Entry{key, value});
    ++size_;
    slots_[at] = tagOf(hash) | static_cast<std::uint64_t>(size_);
  }

  std::size_t size() const { return size_; }

  // Drops every entry, keeping the storage.
  void clear() {
    size_ = 0;
    for (std::vector<Entry>& chunk : chunks_) chunk.clear();
    std::fill(slots_.begin(), slots_.end(), 0);
  }

 private:
  struct Entry {
    Key key;
    Value value;
  };

  static constexpr std::size_t kFirstSlotCount = 1024;
  // Entries live in chunks that never move, so growing copies no entry and never holds two
  // copies of them at once. A chunk's storage is reserved whole but written entry by entry, so
  // that a memo that stays small never touches (and never has the system clear) the rest.
  static constexpr std::size_t kChunkEntries = 1024;

  Entry& entry(std::size_t i) { return chunks_[i / kChunkEntries][i % kChunkEntries]; }
  const Entry& entry(std::size_t i) const { return chunks_[i / kChunkEntries][i % kChunkEntries]; }

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
      if (tagOf(slot) == tag && entry(entryIndexOf(slot)).key == key) return at;
    }
  }

  void grow() {
    const std::size_t count = slots_.empty() ? kFirstSlotCount : 2 * slots_.size();
    slots_.assign(count, 0);
    const std::size_t mask = count - 1;
    for (std::size_t i = 0; i < size_; ++i) {
      const std::uint64_t hash = Hash{}(entry(i).key);
      std::size_t at = static_cast<std::size_t>(hash) & mask;
      while (slots_[at] != 0) at = (at + 1) & mask;
      slots_[at] = tagOf(hash) | static_cast<std::uint64_t>(i + 1);
    }
  }

  std::vector<std::vector<Entry>> chunks_;  // each reserved for kChunkEntries
  std::size_t size_ = 0;
  // 0 for an empty slot, otherwise the hash's upper half and the entry's index + 1; the length is
  // a power of two at least twice the number of entries.
  std::vector<std::uint64_t> slots_;
};

}  // namespace varbex
