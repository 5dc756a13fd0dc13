#pragma once

#include <cstddef>
#include <cstdint>

namespace varbex {

// FNV-1a folded over 64-bit words instead of bytes: spreads the fixed-size integer keys of the
// memos in this folder.
inline std::size_t foldWords(const std::int64_t* words, std::size_t count) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (std::size_t i = 0; i < count; ++i) {
    hash ^= static_cast<std::uint64_t>(words[i]);
    hash *= 0x100000001b3ULL;
  }
  return static_cast<std::size_t>(hash);
}

}  // namespace varbex
