#include "orient/lookahead_cache.h"

#include <algorithm>
#include <memory>

#include "base/word_hash.h"

namespace varbex {
namespace {

thread_local std::unique_ptr<LookaheadCache> threadCache;

}  // namespace

std::uint64_t LookaheadKeyHash::ofNextItems(const LookaheadKey& key) {
  return foldWords(key.words.data() + kCandidateWords, key.words.size() - kCandidateWords);
}

LookaheadCache& LookaheadCache::forThisThread() {
  if (!threadCache) threadCache = std::make_unique<LookaheadCache>();
  return *threadCache;
}

const LookaheadCache* existingLookaheadCache() { return threadCache.get(); }

std::size_t LookaheadCache::PartHash::operator()(const PartWords& part) const {
  return foldWords(part.words.data(), part.words.size());
}

// The part's number goes in first, through the fold; the final mix spreads it and the
// candidate's words over the bits that pick the slot and the tag.
std::size_t LookaheadCache::AnswerKeyHash::operator()(const AnswerKey& key) const {
  return mixBits(foldWords(key.words.data(), key.words.size(),
                           kFoldBasis ^ (key.part * 0x9e3779b97f4a7c15ULL)));
}

LookaheadCache::PartWords LookaheadCache::partOf(const LookaheadKey& key) {
  PartWords part;
  std::copy(key.words.begin() + LookaheadKeyHash::kCandidateWords, key.words.end(),
            part.words.begin());
  return part;
}

LookaheadCache::AnswerKey LookaheadCache::answerKeyOf(const LookaheadKey& key,
                                                      std::uint32_t part) {
  AnswerKey answer;
  std::copy(key.words.begin(), key.words.begin() + LookaheadKeyHash::kCandidateWords,
            answer.words.begin());
  answer.part = part;
  return answer;
}

std::uint32_t LookaheadCache::findPart(const LookaheadKey& key,
                                       std::uint64_t nextItemsHash) const {
  const std::uint32_t* id = parts_.find(partOf(key), nextItemsHash);
  return id ? *id : 0;
}

void LookaheadCache::lookUp(const LookaheadKey& key, std::uint64_t nextItemsHash,
                            NextItemsPart& part) const {
  if (part.id != 0 && part.clearing == clearings_) return;
  part.id = findPart(key, nextItemsHash);
  part.clearing = clearings_;
}

const std::int32_t* LookaheadCache::find(const LookaheadKey& key, std::uint64_t nextItemsHash,
                                         NextItemsPart& part) const {
  lookUp(key, nextItemsHash, part);
  if (part.id == 0) return nullptr;
  return answers_.find(answerKeyOf(key, part.id));
}

void LookaheadCache::insert(const LookaheadKey& key, std::int32_t result,
                            std::uint64_t nextItemsHash, NextItemsPart& part) {
  if (answers_.size() >= kMaxEntries) clear();
  lookUp(key, nextItemsHash, part);
  if (part.id == 0) {
    // Numbered from 1 in the order stored; no more parts than answers are ever stored.
    part.id = static_cast<std::uint32_t>(parts_.size() + 1);
    parts_.insert(partOf(key), part.id, nextItemsHash);
  }
  answers_.insert(answerKeyOf(key, part.id), result);
}

void LookaheadCache::clear() {
  answers_.clear();
  parts_.clear();
  ++clearings_;
}

}  // namespace varbex
