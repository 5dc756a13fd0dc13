#pragma once

#include <iterator>
#include <utility>

namespace varbex {

// The engine's own unstable sort. Standard libraries order equal elements differently, and an
// answer may hang on that order, so every order that decides an answer comes from here: the
// order is the one g++'s libstdc++ gives (introsort with a median of three, a heap sort once the
// depth runs out, and one insertion pass at the end), on which the recorded answers were made.
//
// comp(a, b) means "a goes before b". It need not be a strict weak order: whatever it answers,
// the sort stays inside [first, last), and where libstdc++ itself stays inside, both give the
// same order from the same sequence of comparisons.
template <typename RandomIt, typename Compare>
void portableSort(RandomIt first, RandomIt last, Compare comp);

namespace sort_detail {

constexpr long kInsertionThreshold = 16;

// Floor of log2(n), for n > 0.
template <typename Distance>
Distance floorLog2(Distance n) {
  Distance log = 0;
  while (n > 1) {
    n >>= 1;
    ++log;
  }
  return log;
}

// Moves *last left past every element it goes before. The walk would rely on a smaller element to
// its left; `floor` (the start of the whole range) stops it instead when a comparison gives none.
template <typename RandomIt, typename Compare>
void linearInsert(RandomIt floor, RandomIt last, Compare& comp) {
  auto value = std::move(*last);
  RandomIt next = last;
  --next;
  while (comp(value, *next)) {
    *last = std::move(*next);
    last = next;
    if (next == floor) break;
    --next;
  }
  *last = std::move(value);
}

// Insertion sort of [first, last), which lies in a sorted range that starts at `floor`.
template <typename RandomIt, typename Compare>
void insertionSort(RandomIt floor, RandomIt first, RandomIt last, Compare& comp) {
  if (first == last) return;
  for (RandomIt i = first + 1; i != last; ++i) {
    if (comp(*i, *first)) {
      auto value = std::move(*i);
      std::move_backward(first, i, i + 1);
      *first = std::move(value);
    } else {
      linearInsert(floor, i, comp);
    }
  }
}

// Insertion of each of [first, last) into what lies left of it, which ends no lower than floor.
template <typename RandomIt, typename Compare>
void insertionSortAfterSorted(RandomIt floor, RandomIt first, RandomIt last, Compare& comp) {
  for (RandomIt i = first; i != last; ++i) linearInsert(floor, i, comp);
}

// Sinks the hole at `hole` to a leaf by the larger children, then lifts `value` back up from there.
template <typename RandomIt, typename Distance, typename Value, typename Compare>
void adjustHeap(RandomIt first, Distance hole, Distance length, Value value, Compare& comp) {
  const Distance top = hole;
  Distance child = hole;
  while (child < (length - 1) / 2) {
    child = 2 * (child + 1);
    if (comp(*(first + child), *(first + (child - 1)))) --child;
    *(first + hole) = std::move(*(first + child));
    hole = child;
  }
  if ((length & 1) == 0 && child == (length - 2) / 2) {
    child = 2 * (child + 1);
    *(first + hole) = std::move(*(first + (child - 1)));
    hole = child - 1;
  }
  Distance parent = (hole - 1) / 2;
  while (hole > top && comp(*(first + parent), value)) {
    *(first + hole) = std::move(*(first + parent));
    hole = parent;
    parent = (hole - 1) / 2;
  }
  *(first + hole) = std::move(value);
}

template <typename RandomIt, typename Compare>
void heapSort(RandomIt first, RandomIt last, Compare& comp) {
  using Distance = typename std::iterator_traits<RandomIt>::difference_type;
  const Distance length = last - first;
  if (length < 2) return;
  for (Distance parent = (length - 2) / 2;; --parent) {
    adjustHeap(first, parent, length, std::move(*(first + parent)), comp);
    if (parent == 0) break;
  }
  while (last - first > 1) {
    --last;
    auto value = std::move(*last);
    *last = std::move(*first);
    adjustHeap(first, Distance(0), Distance(last - first), std::move(value), comp);
  }
}

// Puts the median of *a, *b and *c at *result.
template <typename RandomIt, typename Compare>
void moveMedianToFirst(RandomIt result, RandomIt a, RandomIt b, RandomIt c, Compare& comp) {
  RandomIt median;
  if (comp(*a, *b)) {
    if (comp(*b, *c)) {
      median = b;
    } else {
      median = comp(*a, *c) ? c : a;
    }
  } else if (comp(*a, *c)) {
    median = a;
  } else {
    median = comp(*b, *c) ? c : b;
  }
  std::iter_swap(result, median);
}

// Hoare partition of [first, last) around *pivot. The scans would rely on sentinels that a
// comparison without a strict weak order may not give; the ends of the whole range stop them.
template <typename RandomIt, typename Compare>
RandomIt partitionAround(RandomIt floor, RandomIt ceiling, RandomIt first, RandomIt last,
                         RandomIt pivot, Compare& comp) {
  while (true) {
    while (first != ceiling && comp(*first, *pivot)) ++first;
    --last;
    while (comp(*pivot, *last)) {
      if (last == floor) break;
      --last;
    }
    if (!(first < last)) return first;
    std::iter_swap(first, last);
    ++first;
  }
}

template <typename RandomIt, typename Distance, typename Compare>
void introsortLoop(RandomIt floor, RandomIt ceiling, RandomIt first, RandomIt last,
                   Distance depthLimit, Compare& comp) {
  while (last - first > kInsertionThreshold) {
    if (depthLimit == 0) {
      heapSort(first, last, comp);
      return;
    }
    --depthLimit;
    const RandomIt middle = first + (last - first) / 2;
    moveMedianToFirst(first, first + 1, middle, last - 1, comp);
    const RandomIt cut = partitionAround(floor, ceiling, first + 1, last, first, comp);
    introsortLoop(floor, ceiling, cut, last, depthLimit, comp);
    last = cut;
  }
}

}  // namespace sort_detail

template <typename RandomIt, typename Compare>
void portableSort(RandomIt first, RandomIt last, Compare comp) {
  using namespace sort_detail;
  if (first == last) return;
  introsortLoop(first, last, first, last, floorLog2(last - first) * 2, comp);
  if (last - first > kInsertionThreshold) {
    insertionSort(first, first, first + kInsertionThreshold, comp);
    insertionSortAfterSorted(first, first + kInsertionThreshold, last, comp);
  } else {
    insertionSort(first, first, last, comp);
  }
}

}  // namespace varbex
