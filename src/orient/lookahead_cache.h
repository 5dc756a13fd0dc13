#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/flat_memo.h"

namespace varbex {

// The rounded question a lookahead answers: free extents, the candidate, and up to seven next
// items. Built without allocation and compared as a whole.
struct LookaheadKey {
  static constexpr std::size_t kWords = 42;
  std::array<std::int64_t, kWords> words{};

  bool operator==(const LookaheadKey& other) const { return words == other.words; }
};

// The words of a key before kCandidateWords are the candidate's own (with the free space's); the
// rest describe the next items, which every candidate of one question shares.
struct LookaheadKeyHash {
  static constexpr std::size_t kCandidateWords = 6;
  // FNV-1a folded over the next-items words (6 on), taken as 64-bit words instead of bytes.
  static std::uint64_t ofNextItems(const LookaheadKey& key);
};

// One per thread: lookahead answers reused across calls on the same thread, bounded in size.
//
// Every candidate of one question shares the key's next-items words (6 on), and the questions
// of a packing repeat the same next items many times over; so each distinct next-items part is
// stored once and the answers are keyed by the candidate's six words and the number of their
// part. Two answer keys are equal exactly when the whole 42-word keys are, and an answer takes
// 64 bytes instead of the whole key's 336: the cache of a solve touches far less memory.
class LookaheadCache {
 public:
  static constexpr std::size_t kMaxEntries = 262144;

  // A question's next-items part as the cache numbers it, remembered between the candidates of
  // one question; the number holds only while the cache is not emptied.
  struct NextItemsPart {
    std::uint32_t id = 0;  // 0: not looked up, or not stored when it was
    std::uint64_t clearing = 0;  // the cache's clearing count at the time
  };

  // This thread's cache, created on first use and released when the thread ends.
  static LookaheadCache& forThisThread();

  const std::int32_t* find(const LookaheadKey& key) const {
    NextItemsPart part;
    return find(key, LookaheadKeyHash::ofNextItems(key), part);
  }
  // `nextItemsHash` is LookaheadKeyHash::ofNextItems of the key; `part` belongs to the key's
  // question.
  const std::int32_t* find(const LookaheadKey& key, std::uint64_t nextItemsHash,
                           NextItemsPart& part) const;

  // Inserts a new answer, first emptying the cache when it is full. A key already present keeps
  // its first answer.
  void insert(const LookaheadKey& key, std::int32_t result) {
    NextItemsPart part;
    insert(key, result, LookaheadKeyHash::ofNextItems(key), part);
  }
  void insert(const LookaheadKey& key, std::int32_t result, std::uint64_t nextItemsHash,
              NextItemsPart& part);

  std::size_t size() const { return answers_.size(); }
  void clear();

 private:
  static constexpr std::size_t kPartWords =
      LookaheadKey::kWords - LookaheadKeyHash::kCandidateWords;

  struct PartWords {
    std::array<std::int64_t, kPartWords> words;
    bool operator==(const PartWords& other) const { return words == other.words; }
  };
  struct PartHash {
    std::size_t operator()(const PartWords& part) const;
  };
  struct AnswerKey {
    std::array<std::int64_t, LookaheadKeyHash::kCandidateWords> words;
    std::uint64_t part;
    bool operator==(const AnswerKey& other) const {
      return words == other.words && part == other.part;
    }
  };
  struct AnswerKeyHash {
    std::size_t operator()(const AnswerKey& key) const;
  };

  static PartWords partOf(const LookaheadKey& key);
  static AnswerKey answerKeyOf(const LookaheadKey& key, std::uint32_t part);
  // The part's number, or 0 when it is not stored.
  std::uint32_t findPart(const LookaheadKey& key, std::uint64_t nextItemsHash) const;
  // Looks the part up unless `part` already holds its number for the cache as it is now.
  void lookUp(const LookaheadKey& key, std::uint64_t nextItemsHash, NextItemsPart& part) const;

  FlatMemo<PartWords, std::uint32_t, PartHash> parts_;
  FlatMemo<AnswerKey, std::int32_t, AnswerKeyHash> answers_;
  std::uint64_t clearings_ = 1;  // so that a NextItemsPart fresh from construction is stale
};

// The calling thread's cache when it has one, without creating it.
const LookaheadCache* existingLookaheadCache();

}  // namespace varbex
