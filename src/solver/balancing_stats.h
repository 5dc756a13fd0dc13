#pragma once

#include <cstdint>

namespace varbex {

// How often weight balancing stopped at its deadline instead of at its fixed point, over the
// whole process. For the benchmarks only: nothing reaches callers through the exported functions,
// and no result depends on it.
std::uint64_t balancingDeadlineHits();
std::uint64_t balancingRuns();
// The same count for the calling thread only, so that a tool can tell which request reached it.
std::uint64_t balancingDeadlineHitsOnThisThread();

void countBalancingRun(bool stoppedAtDeadline);

}  // namespace varbex
