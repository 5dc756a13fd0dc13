#pragma once

#include <cstddef>
#include <cstdint>

namespace varbex {

// FNV-1a folded over 64-bit words instead of bytes: spreads the fixed-size integer keys of the
// memos in this folder.
inline constexpr std::uint64_t kFoldBasis = 0xcbf29ce484222325ULL;

// `hash` is where the fold starts: the basis, or the fold of the words before these.
inline std::size_t foldWords(const std::int64_t* words, std::size_t count,
                             std::uint64_t hash = kFoldBasis) {
  for (std::size_t i = 0; i < count; ++i) {
    hash ^= static_cast<std::uint64_t>(words[i]);
    hash *= 0x100000001b3ULL;
  }
  return static_cast<std::size_t>(hash);
}

// MurmurHash3's 64-bit finaliser: the fold alone leaves the low bits of a hash blind to the high
// bits of the words, and the bits of round numbers such as 12.0 differ only in their high bits;
// this spreads every bit over all of them.
inline std::size_t mixBits(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return static_cast<std::size_t>(h);
}

}  // namespace varbex
