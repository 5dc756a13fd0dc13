#include "base/portable_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/portable_stable_sort.h"

namespace varbex {
namespace {

// Pads sit just outside the range handed to the standard sort; touching one means the standard
// sort left the range, where the two need not agree.
struct Element {
  int id = 0;
  double key = 0;
  bool pad = false;
};

using Comparison = std::function<bool(const Element&, const Element&)>;

struct ComparisonCase {
  const char* name;
  // A fresh comparison for one run; runs made from the same seed answer the same call sequence
  // alike.
  std::function<Comparison(std::uint64_t seed)> make;
};

std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  return x ^ (x >> 33);
}

Comparison fromStream(std::uint64_t seed, unsigned percentTrue) {
  auto stream = std::make_shared<std::mt19937_64>(seed);
  return [stream, percentTrue](const Element&, const Element&) {
    return (*stream)() % 100 < percentTrue;
  };
}

// McIlroy's adversary: a consistent order decided only as the sort asks, driving a quicksort to
// its worst case, so that the depth limit passes the range to the heap sort.
Comparison adversary() {
  static constexpr int kGas = 1 << 30;  // not yet decided: above every decided value
  struct State {
    std::vector<int> value = std::vector<int>(5000, kGas);
    int decided = 0;
    int candidate = -1;
  };
  auto state = std::make_shared<State>();
  return [state](const Element& a, const Element& b) {
    State& s = *state;
    int& x = s.value.at(static_cast<std::size_t>(a.id));
    int& y = s.value.at(static_cast<std::size_t>(b.id));
    if (x == kGas && y == kGas) (a.id == s.candidate ? x : y) = s.decided++;
    if (x == kGas) {
      s.candidate = a.id;
    } else if (y == kGas) {
      s.candidate = b.id;
    }
    return x < y;
  };
}

const ComparisonCase kComparisons[] = {
    {"worst_case_for_quicksort", [](std::uint64_t) { return adversary(); }},
    {"keys_with_ties", [](std::uint64_t) -> Comparison {
       return [](const Element& a, const Element& b) { return a.key < b.key; };
     }},
    {"within_tolerance_is_level", [](std::uint64_t) -> Comparison {
       return [](const Element& a, const Element& b) {
         return std::abs(a.key - b.key) > 0.000001 ? a.key < b.key : a.id % 3 < b.id % 3;
       };
     }},
    {"random_per_pair", [](std::uint64_t seed) -> Comparison {
       return [seed](const Element& a, const Element& b) {
         return (mix(seed ^ mix(static_cast<std::uint64_t>(a.id) * 65536 + b.id)) & 1) != 0;
       };
     }},
    {"random_stream", [](std::uint64_t seed) { return fromStream(seed, 50); }},
    {"mostly_before", [](std::uint64_t seed) { return fromStream(seed, 85); }},
    {"mostly_not_before", [](std::uint64_t seed) { return fromStream(seed, 15); }},
};

// Keys from few values, so that ties are common, some a hair apart for the tolerance.
std::vector<Element> elementsOf(int count, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const int distinct = 1 + static_cast<int>(random() % 12);
  std::vector<Element> elements;
  for (int id = 0; id < count; ++id) {
    const double key = static_cast<double>(random() % distinct) * 0.0000007;
    elements.push_back({id, key, false});
  }
  return elements;
}

std::vector<int> idsOf(const std::vector<Element>& elements) {
  std::vector<int> ids;
  for (const Element& e : elements) ids.push_back(e.id);
  return ids;
}

using Sort = std::function<void(std::vector<Element>::iterator, std::vector<Element>::iterator,
                                const Comparison&)>;

// The standard sort's order, or nothing when it reached past the range.
std::optional<std::vector<int>> referenceOrder(const Sort& sort, std::vector<Element> elements,
                                               const Comparison& before) {
  elements.insert(elements.begin(), Element{-1, 0, true});
  elements.push_back(Element{-2, 0, true});
  bool leftRange = false;
  const Comparison guarded = [&](const Element& a, const Element& b) {
    if (a.pad || b.pad) leftRange = true;
    return a.pad || b.pad ? false : before(a, b);
  };
  sort(elements.begin() + 1, elements.end() - 1, guarded);
  if (leftRange) return std::nullopt;
  return idsOf({elements.begin() + 1, elements.end() - 1});
}

void expectSameOrders(const Sort& standard, const Sort& portable) {
  std::vector<int> sizes;
  for (int n = 0; n <= 100; ++n) sizes.push_back(n);
  for (int n : {127, 128, 129, 1000, 2049, 4000}) sizes.push_back(n);
  for (const ComparisonCase& c : kComparisons) {
    int compared = 0;
    for (int n : sizes) {
      for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(std::string(c.name) + " n=" + std::to_string(n) + " seed=" +
                     std::to_string(seed));
        const std::vector<Element> elements = elementsOf(n, mix(seed * 1000 + n));
        // A copy holds exactly its elements, so that a sanitizer sees any step past either end.
        std::vector<Element> ours = elements;
        portable(ours.begin(), ours.end(), c.make(seed));
        std::vector<int> sortedIds = idsOf(ours);
        std::sort(sortedIds.begin(), sortedIds.end());
        ASSERT_EQ(sortedIds, idsOf(elements)) << "not a permutation";
        const auto expected = referenceOrder(standard, elements, c.make(seed));
        if (!expected) continue;
        ASSERT_EQ(idsOf(ours), *expected);
        ++compared;
      }
    }
    // Even the most inconsistent comparisons stay in range often enough to be compared.
    EXPECT_GT(compared, static_cast<int>(sizes.size())) << c.name;
  }
}

TEST(PortableSortTest, OrdersAsLibstdcxxSortForAnyComparison) {
#ifndef __GLIBCXX__
  GTEST_SKIP() << "the recorded orders are those of libstdc++";
#else
  expectSameOrders([](auto first, auto last, const Comparison& c) { std::sort(first, last, c); },
                   [](auto first, auto last, const Comparison& c) { portableSort(first, last, c); });
#endif
}

TEST(PortableSortTest, OrdersAsLibstdcxxStableSortForAnyComparison) {
#ifndef __GLIBCXX__
  GTEST_SKIP() << "the recorded orders are those of libstdc++";
#else
  expectSameOrders(
      [](auto first, auto last, const Comparison& c) { std::stable_sort(first, last, c); },
      [](auto first, auto last, const Comparison& c) { portableStableSort(first, last, c); });
#endif
}

// Sorting with the merge buffer cut short, or with none, still sorts and keeps ties in order.
TEST(PortableSortTest, StableSortWithShortBufferKeepsTiesInOrder) {
  for (int n : {0, 1, 2, 14, 15, 16, 100, 1000}) {
    for (std::ptrdiff_t bufferSize : {0, 1, 3, 7, 50}) {
      SCOPED_TRACE("n=" + std::to_string(n) + " buffer=" + std::to_string(bufferSize));
      std::vector<Element> elements = elementsOf(n, mix(n + 17 * bufferSize));
      const auto before = [](const Element& a, const Element& b) { return a.key < b.key; };
      std::vector<Element> expected = elements;
      std::stable_sort(expected.begin(), expected.end(), before);
      std::vector<Element> buffer(static_cast<std::size_t>(bufferSize));
      auto comp = before;
      if (bufferSize == 0 || n == 0) {
        sort_detail::inplaceStableSort(elements.begin(), elements.begin(), elements.end(), comp);
      } else {
        sort_detail::stableSortAdaptive(elements.begin(), elements.begin(), elements.end(),
                                        buffer.begin(), bufferSize, comp);
      }
      EXPECT_EQ(idsOf(elements), idsOf(expected));
    }
  }
}

}  // namespace
}  // namespace varbex
