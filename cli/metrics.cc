#include "metrics.h"

#include <sstream>

namespace cli {
namespace {

constexpr const char* kRejectionNames[] = {"unauthorized", "length_required", "body_too_large",
                                           "queue_full", "bodies_held"};

void header(std::ostringstream& out, const char* name, const char* type, const char* help) {
  out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

}  // namespace

void Metrics::countRequest(const std::string& endpoint, int status) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++requests_[{endpoint, status}];
}

void Metrics::countRejection(Rejection cause) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++rejections_[static_cast<size_t>(cause)];
}

void Metrics::countSolve(const Tally& tally, std::chrono::duration<double> took) {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < kBucketBounds.size(); ++i) {
    if (took.count() <= kBucketBounds[i]) ++buckets_[i];
  }
  ++solves_;
  solveSeconds_ += took.count();
  placed_ += tally.placed;
  unplaced_ += tally.unplaced;
}

std::string Metrics::requestLines() const {
  std::ostringstream out;
  header(out, "varbex_requests_total", "counter", "Requests answered, by endpoint and status.");
  for (const auto& [key, count] : requests_) {
    out << "varbex_requests_total{endpoint=\"" << key.first << "\",status=\"" << key.second
        << "\"} " << count << '\n';
  }
  header(out, "varbex_rejections_total", "counter", "Requests turned away unsolved, by cause.");
  for (size_t i = 0; i < rejections_.size(); ++i) {
    out << "varbex_rejections_total{cause=\"" << kRejectionNames[i] << "\"} " << rejections_[i]
        << '\n';
  }
  return out.str();
}

std::string Metrics::histogramLines() const {
  std::ostringstream out;
  header(out, "varbex_solve_seconds", "histogram", "Time the library took per solve.");
  for (size_t i = 0; i < kBucketBounds.size(); ++i) {
    out << "varbex_solve_seconds_bucket{le=\"" << kBucketBounds[i] << "\"} " << buckets_[i] << '\n';
  }
  out << "varbex_solve_seconds_bucket{le=\"+Inf\"} " << solves_ << '\n'
      << "varbex_solve_seconds_sum " << solveSeconds_ << '\n'
      << "varbex_solve_seconds_count " << solves_ << '\n';
  return out.str();
}

std::string Metrics::text(const Gauges& gauges) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::ostringstream out;
  out << requestLines() << histogramLines();
  header(out, "varbex_solves_in_flight", "gauge", "Solves running now.");
  out << "varbex_solves_in_flight " << gauges.inFlight << '\n';
  header(out, "varbex_queue_length", "gauge", "Requests waiting for a solving thread.");
  out << "varbex_queue_length " << gauges.queueLength << '\n';
  header(out, "varbex_solve_timeouts_total", "counter", "Solves stopped at --solve-timeout.");
  out << "varbex_solve_timeouts_total " << gauges.timeouts << '\n';
  header(out, "varbex_solve_memory_kills_total", "counter", "Solves stopped at --solve-memory.");
  out << "varbex_solve_memory_kills_total " << gauges.memoryKills << '\n';
  header(out, "varbex_worker_crashes_total", "counter", "Solving workers that died on a request.");
  out << "varbex_worker_crashes_total " << gauges.crashes << '\n';
  header(out, "varbex_worker_restarts_total", "counter", "Solving workers started again.");
  out << "varbex_worker_restarts_total " << gauges.restarts << '\n';
  header(out, "varbex_items_placed_total", "counter", "Items placed in boxes.");
  out << "varbex_items_placed_total " << placed_ << '\n';
  header(out, "varbex_items_unplaced_total", "counter", "Items left unplaced.");
  out << "varbex_items_unplaced_total " << unplaced_ << '\n';
  return out.str();
}

}  // namespace cli
