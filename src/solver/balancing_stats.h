#pragma once

#include <cstdint>

namespace varbex {

// How often weight balancing stopped at its deadline instead of at its fixed point, over the
// whole process. For the benchmarks only: nothing reaches callers through the exported functions,
// and no result depends on it.
std::uint64_t balancingDeadlineHits();
std::uint64_t balancingRuns();
// The same count for the calling thread only, so that a tool can tell which request reached it;
// and how often balancing was cut short on this thread, which differs from the deadline hits only
// when a test or tool has given balancing a longer time budget.
std::uint64_t balancingDeadlineHitsOnThisThread();
std::uint64_t balancingCutsOnThisThread();
// How often balancing on this thread stopped because a move returned to a state it had been in.
std::uint64_t balancingReturnsOnThisThread();

void countBalancingRun(bool reachedDeadline, bool cutShort, bool returned);

}  // namespace varbex
