#include "batch_solver.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "varbex.h"

namespace cli {
namespace {

constexpr char kNoMemoryEnvelope[] =
    "{\"error\":\"out of memory: the library returned no response\",\"success\":false}";

long long countOf(const nlohmann::json& summary, const char* key) {
  const auto found = summary.find(key);
  return found != summary.end() && found->is_number_integer() ? found->get<long long>() : 0;
}

Tally tallyOf(const std::string& response) {
  const nlohmann::json document = nlohmann::json::parse(response, nullptr, false);
  Tally tally;
  if (document.is_discarded() || !document.is_object() || document.contains("error")) {
    tally.errors = 1;
    return tally;
  }
  const auto summary = document.find("summary");
  if (summary != document.end() && summary->is_object()) {
    tally.placed = countOf(*summary, "total_placed");
    tally.unplaced = countOf(*summary, "total_unplaced");
  }
  return tally;
}

}  // namespace

Tally& Tally::operator+=(const Tally& other) {
  placed += other.placed;
  unplaced += other.unplaced;
  errors += other.errors;
  return *this;
}

Solved solveOne(const std::string& request) {
  const std::unique_ptr<char, void (*)(char*)> response(varbex_solve(request.c_str()), varbex_free);
  Solved solved;
  solved.response = response ? std::string(response.get()) : std::string(kNoMemoryEnvelope);
  solved.tally = tallyOf(solved.response);
  return solved;
}

BatchSolver::BatchSolver(std::vector<std::string> requests, unsigned threads)
    : requests_(std::move(requests)), results_(requests_.size()) {
  const size_t count = std::min<size_t>(std::max(threads, 1u), requests_.size());
  for (size_t i = 0; i < count; ++i) threads_.emplace_back(&BatchSolver::work, this);
}

BatchSolver::~BatchSolver() {
  stopping_ = true;
  for (std::thread& thread : threads_) thread.join();
}

void BatchSolver::work() {
  for (size_t index = next_++; index < requests_.size() && !stopping_; index = next_++) {
    Solved solved = solveOne(requests_[index]);
    std::string().swap(requests_[index]);  // each thread touches only the requests it took
    {
      // Counted before it can be taken, so that once every response is taken the count is whole.
      const std::lock_guard<std::mutex> lock(mutex_);
      ++solved_;
      results_[index] = std::move(solved);
    }
    ready_.notify_all();
  }
}

std::optional<Solved> BatchSolver::take(size_t index, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!ready_.wait_for(lock, wait, [&] { return results_[index].has_value(); })) return std::nullopt;
  std::optional<Solved> solved = std::move(results_[index]);
  results_[index].reset();
  return solved;
}

}  // namespace cli
