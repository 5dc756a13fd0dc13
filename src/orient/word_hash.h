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

}  // namespace varbex
