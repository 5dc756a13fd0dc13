#pragma once

#include <cstdint>

namespace varbex {

// How often weight balancing stopped at its deadline instead of at its fixed point, over the
// whole process. For the benchmarks only: nothing reaches callers through the exported functions,
// and no result depends on it.
std::uint64_t balancingDeadlineHits();
std::uint64_t balancingRuns();

void countBalancingRun(bool stoppedAtDeadline);

}  // namespace varbex
