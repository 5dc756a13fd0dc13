#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/portable_sort.h"

namespace varbex {

// The engine's own stable sort, giving the order g++'s libstdc++ gives: insertion sort of runs of
// 7, merged through a buffer of half the range. That order is fixed even for a comparison that is
// not a strict weak order (a tolerance, say), where a stable sort alone does not fix one.
//
// comp(a, b) means "a goes before b". Whatever it answers, the sort stays inside [first, last).
// When memory runs short the buffer shrinks, and with none the merges rotate in place, as there.
template <typename RandomIt, typename Compare>
void portableStableSort(RandomIt first, RandomIt last, Compare comp);

namespace sort_detail {

constexpr long kChunkSize = 7;

// Moves the merge of the sorted [first1, last1) and [first2, last2) to `out`; on ties the first
// run's element goes first.
template <typename In, typename Out, typename Compare>
Out moveMerge(In first1, In last1, In first2, In last2, Out out, Compare& comp) {
  while (first1 != last1 && first2 != last2) {
    if (comp(*first2, *first1)) {
      *out = std::move(*first2);
      ++first2;
    } else {
      *out = std::move(*first1);
      ++first1;
    }
    ++out;
  }
  return std::move(first2, last2, std::move(first1, last1, out));
}

// One pass merging neighbouring runs of `step` from [first, last) into `out`.
template <typename In, typename Out, typename Distance, typename Compare>
void mergeRuns(In first, In last, Out out, Distance step, Compare& comp) {
  const Distance twoSteps = 2 * step;
  while (last - first >= twoSteps) {
    out = moveMerge(first, first + step, first + step, first + twoSteps, out, comp);
    first += twoSteps;
  }
  step = std::min(Distance(last - first), step);
  moveMerge(first, first + step, first + step, last, out, comp);
}

// Sorts [first, last) using `buffer`, which holds at least last - first elements.
template <typename RandomIt, typename BufferIt, typename Compare>
void mergeSortWithBuffer(RandomIt floor, RandomIt first, RandomIt last, BufferIt buffer,
                         Compare& comp) {
  using Distance = typename std::iterator_traits<RandomIt>::difference_type;
  const Distance length = last - first;
  RandomIt chunk = first;
  while (last - chunk >= kChunkSize) {
    insertionSort(floor, chunk, chunk + kChunkSize, comp);
    chunk += kChunkSize;
  }
  insertionSort(floor, chunk, last, comp);
  for (Distance step = kChunkSize; step < length; step *= 4) {
    mergeRuns(first, last, buffer, step, comp);
    mergeRuns(buffer, buffer + length, first, 2 * step, comp);
  }
}

// The first position in [first, last) whose element does not go before `value`.
template <typename RandomIt, typename Value, typename Compare>
RandomIt lowerBound(RandomIt first, RandomIt last, const Value& value, Compare& comp) {
  auto length = last - first;
  while (length > 0) {
    const auto half = length >> 1;
    const RandomIt middle = first + half;
    if (comp(*middle, value)) {
      first = middle + 1;
      length = length - half - 1;
    } else {
      length = half;
    }
  }
  return first;
}

// The first position in [first, last) whose element `value` goes before.
template <typename RandomIt, typename Value, typename Compare>
RandomIt upperBound(RandomIt first, RandomIt last, const Value& value, Compare& comp) {
  auto length = last - first;
  while (length > 0) {
    const auto half = length >> 1;
    const RandomIt middle = first + half;
    if (comp(value, *middle)) {
      length = half;
    } else {
      first = middle + 1;
      length = length - half - 1;
    }
  }
  return first;
}

// Where to split two neighbouring sorted runs of len1 and len2 so that each half can be merged on
// its own: the longer run is cut in the middle and the other where that element belongs.
template <typename RandomIt, typename Distance, typename Compare>
std::pair<RandomIt, RandomIt> mergeCuts(RandomIt first, RandomIt middle, RandomIt last,
                                        Distance len1, Distance len2, Compare& comp) {
  if (len1 > len2) {
    const RandomIt firstCut = first + len1 / 2;
    return {firstCut, lowerBound(middle, last, *firstCut, comp)};
  }
  const RandomIt secondCut = middle + len2 / 2;
  return {upperBound(first, middle, *secondCut, comp), secondCut};
}

template <typename RandomIt, typename Distance, typename Compare>
void mergeWithoutBuffer(RandomIt first, RandomIt middle, RandomIt last, Distance len1,
                        Distance len2, Compare& comp) {
  if (len1 == 0 || len2 == 0) return;
  if (len1 + len2 == 2) {
    if (comp(*middle, *first)) std::iter_swap(first, middle);
    return;
  }
  const auto [firstCut, secondCut] = mergeCuts(first, middle, last, len1, len2, comp);
  const Distance len11 = firstCut - first;
  const Distance len22 = secondCut - middle;
  const RandomIt newMiddle = std::rotate(firstCut, middle, secondCut);
  mergeWithoutBuffer(first, firstCut, newMiddle, len11, len22, comp);
  mergeWithoutBuffer(newMiddle, secondCut, last, len1 - len11, len2 - len22, comp);
}

// Merges from the back: the buffered second run [first2, last2) and [first1, last1) into the
// range ending at `out`.
template <typename RandomIt, typename BufferIt, typename Compare>
void moveMergeBackward(RandomIt first1, RandomIt last1, BufferIt first2, BufferIt last2,
                       RandomIt out, Compare& comp) {
  if (first1 == last1) {
    std::move_backward(first2, last2, out);
    return;
  }
  if (first2 == last2) return;
  --last1;
  --last2;
  while (true) {
    if (comp(*last2, *last1)) {
      *--out = std::move(*last1);
      if (first1 == last1) {
        std::move_backward(first2, ++last2, out);
        return;
      }
      --last1;
    } else {
      *--out = std::move(*last2);
      if (first2 == last2) return;
      --last2;
    }
  }
}

// Merges the sorted neighbouring runs [first, middle) and [middle, last), moving the shorter one
// through the buffer when it fits and splitting the merge in two when neither does.
template <typename RandomIt, typename Distance, typename BufferIt, typename Compare>
void mergeAdaptive(RandomIt first, RandomIt middle, RandomIt last, Distance len1, Distance len2,
                   BufferIt buffer, Distance bufferSize, Compare& comp) {
  if (len1 <= len2 && len1 <= bufferSize) {
    const BufferIt bufferEnd = std::move(first, middle, buffer);
    RandomIt out = first;
    BufferIt first1 = buffer;
    while (first1 != bufferEnd && middle != last) {
      if (comp(*middle, *first1)) {
        *out = std::move(*middle);
        ++middle;
      } else {
        *out = std::move(*first1);
        ++first1;
      }
      ++out;
    }
    std::move(first1, bufferEnd, out);
  } else if (len2 <= bufferSize) {
    const BufferIt bufferEnd = std::move(middle, last, buffer);
    moveMergeBackward(first, middle, buffer, bufferEnd, last, comp);
  } else {
    const auto [firstCut, secondCut] = mergeCuts(first, middle, last, len1, len2, comp);
    const Distance len11 = firstCut - first;
    const Distance len22 = secondCut - middle;
    // Moving through the buffer or rotating in place leaves the same arrangement.
    const RandomIt newMiddle = std::rotate(firstCut, middle, secondCut);
    mergeAdaptive(first, firstCut, newMiddle, len11, len22, buffer, bufferSize, comp);
    mergeAdaptive(newMiddle, secondCut, last, len1 - len11, len2 - len22, buffer, bufferSize,
                  comp);
  }
}

template <typename RandomIt, typename BufferIt, typename Distance, typename Compare>
void stableSortAdaptive(RandomIt floor, RandomIt first, RandomIt last, BufferIt buffer,
                        Distance bufferSize, Compare& comp) {
  const Distance half = (last - first + 1) / 2;
  const RandomIt middle = first + half;
  if (half > bufferSize) {
    stableSortAdaptive(floor, first, middle, buffer, bufferSize, comp);
    stableSortAdaptive(floor, middle, last, buffer, bufferSize, comp);
  } else {
    mergeSortWithBuffer(floor, first, middle, buffer, comp);
    mergeSortWithBuffer(floor, middle, last, buffer, comp);
  }
  mergeAdaptive(first, middle, last, Distance(middle - first), Distance(last - middle), buffer,
                bufferSize, comp);
}

template <typename RandomIt, typename Compare>
void inplaceStableSort(RandomIt floor, RandomIt first, RandomIt last, Compare& comp) {
  if (last - first < 15) {
    insertionSort(floor, first, last, comp);
    return;
  }
  const RandomIt middle = first + (last - first) / 2;
  inplaceStableSort(floor, first, middle, comp);
  inplaceStableSort(floor, middle, last, comp);
  mergeWithoutBuffer(first, middle, last, middle - first, last - middle, comp);
}

// Room for up to `wanted` elements, or fewer (halving, as far as none) when memory is short. The
// slots start as a chain of moves from *seed, and the last one moves back, so *seed keeps its value.
template <typename RandomIt>
auto mergeBuffer(RandomIt seed, std::ptrdiff_t wanted) {
  std::vector<typename std::iterator_traits<RandomIt>::value_type> buffer;
  while (wanted > 0) {
    try {
      buffer.reserve(static_cast<std::size_t>(wanted));
      break;
    } catch (const std::bad_alloc&) {
      wanted = wanted == 1 ? 0 : (wanted + 1) / 2;
    } catch (const std::length_error&) {
      wanted = (wanted + 1) / 2;
    }
  }
  if (wanted == 0) return buffer;
  buffer.push_back(std::move(*seed));
  while (static_cast<std::ptrdiff_t>(buffer.size()) < wanted) {
    buffer.push_back(std::move(buffer.back()));
  }
  *seed = std::move(buffer.back());
  return buffer;
}

}  // namespace sort_detail

template <typename RandomIt, typename Compare>
void portableStableSort(RandomIt first, RandomIt last, Compare comp) {
  using namespace sort_detail;
  using Distance = typename std::iterator_traits<RandomIt>::difference_type;
  if (first == last) return;
  auto buffer = mergeBuffer(first, (last - first + 1) / 2);
  if (buffer.empty()) {
    inplaceStableSort(first, first, last, comp);
  } else {
    stableSortAdaptive(first, first, last, buffer.begin(), Distance(buffer.size()), comp);
  }
}

}  // namespace varbex
