#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cli {

// What one response adds to the batch summary.
struct Tally {
  long long placed = 0;
  long long unplaced = 0;
  long long errors = 0;

  Tally& operator+=(const Tally& other);
};

// Why a solve gave no response: it ran past its time or memory limit, its worker process died,
// or its client gave up on it.
enum class SolveFailure { kNone, kTimeout, kMemory, kCrashed, kCancelled };

// One solved request: the library's response text and its share of the summary. The response is
// empty when `failure` is not kNone.
struct Solved {
  std::string response;
  Tally tally;
  SolveFailure failure = SolveFailure::kNone;
};

// Solves a list of requests on a pool of threads, each thread taking the next unsolved request,
// and hands the responses out in input order. The requests are released as they are solved.
class BatchSolver {
 public:
  BatchSolver(std::vector<std::string> requests, unsigned threads);
  ~BatchSolver();  // stops taking requests, then waits for the threads
  BatchSolver(const BatchSolver&) = delete;
  BatchSolver& operator=(const BatchSolver&) = delete;

  size_t size() const { return requests_.size(); }
  size_t solvedCount() const { return solved_.load(); }

  // Response `index` once it is ready, or nothing when `wait` passes first. Each index may be
  // taken once, in any order.
  std::optional<Solved> take(size_t index, std::chrono::milliseconds wait);

 private:
  void work();

  std::vector<std::string> requests_;
  std::vector<std::optional<Solved>> results_;
  std::atomic<size_t> next_{0};
  std::atomic<size_t> solved_{0};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<std::thread> threads_;
};

// Solves one request through the public interface and tallies its response.
Solved solveOne(const std::string& request);

}  // namespace cli
