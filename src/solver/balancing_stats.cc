#include "solver/balancing_stats.h"

#include <atomic>

namespace varbex {
namespace {

std::atomic<std::uint64_t> deadlineHits{0};
std::atomic<std::uint64_t> runs{0};
thread_local std::uint64_t deadlineHitsOnThisThread = 0;
thread_local std::uint64_t cutsOnThisThread = 0;
thread_local std::uint64_t returnsOnThisThread = 0;

}  // namespace

std::uint64_t balancingDeadlineHits() { return deadlineHits.load(std::memory_order_relaxed); }

std::uint64_t balancingDeadlineHitsOnThisThread() { return deadlineHitsOnThisThread; }

std::uint64_t balancingCutsOnThisThread() { return cutsOnThisThread; }

std::uint64_t balancingReturnsOnThisThread() { return returnsOnThisThread; }

std::uint64_t balancingRuns() { return runs.load(std::memory_order_relaxed); }

void countBalancingRun(bool reachedDeadline, bool cutShort, bool returned) {
  runs.fetch_add(1, std::memory_order_relaxed);
  if (cutShort) ++cutsOnThisThread;
  if (returned) ++returnsOnThisThread;
  if (!reachedDeadline) return;
  deadlineHits.fetch_add(1, std::memory_order_relaxed);
  ++deadlineHitsOnThisThread;
}

}  // namespace varbex
