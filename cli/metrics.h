#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "batch_solver.h"

namespace cli {

// Why the service turned a request away without solving it.
enum class Rejection { kUnauthorized, kLengthRequired, kBodyTooLarge, kQueueFull, kBodiesHeld };

// The values that are read at scrape time rather than counted.
struct Gauges {
  size_t inFlight = 0;
  size_t queueLength = 0;
  unsigned long long timeouts = 0;     // solves stopped at the time limit
  unsigned long long memoryKills = 0;  // solves stopped at the memory limit
  unsigned long long crashes = 0;      // solving workers that died on their own
  unsigned long long restarts = 0;     // solving workers started in place of one that ended
};

// The service's counters, safe to update from any thread, written in the Prometheus text format.
class Metrics {
 public:
  void countRequest(const std::string& endpoint, int status);
  void countRejection(Rejection cause);
  void countSolve(const Tally& tally, std::chrono::duration<double> took);

  std::string text(const Gauges& gauges) const;

 private:
  static constexpr std::array<double, 12> kBucketBounds{0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                        0.1,   0.25,   0.5,   1.0,  2.5,   10.0};

  std::string requestLines() const;
  std::string histogramLines() const;

  mutable std::mutex mutex_;
  std::map<std::pair<std::string, int>, long long> requests_;
  std::array<long long, kBucketBounds.size()> buckets_{};  // cumulative, as exposed
  long long solves_ = 0;
  double solveSeconds_ = 0;
  long long placed_ = 0;
  long long unplaced_ = 0;
  std::array<long long, 5> rejections_{};
};

}  // namespace cli
