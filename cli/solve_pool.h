#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch_solver.h"

namespace cli {

// Set by whoever gave up on a solve (a client that hung up), so that it ends early.
using CancelFlag = std::shared_ptr<std::atomic<bool>>;

// What one solve may take.
struct SolveLimits {
  std::chrono::milliseconds timeout{30000};
  size_t memoryMiB = 1024;
};

// A fixed set of solving threads fed from one bounded queue. The threads live as long as the pool,
// so each keeps the library's per-thread lookahead memo warm across requests.
class SolvePool {
 public:
  // Told about every solve, on the thread that ran it; must not throw.
  using SolveObserver = std::function<void(const Solved&, std::chrono::duration<double> took)>;

  SolvePool(const SolveLimits& limits, unsigned threads, size_t queueCapacity,
            SolveObserver observer);
  ~SolvePool();  // solves what is queued, then joins the threads
  SolvePool(const SolvePool&) = delete;
  SolvePool& operator=(const SolvePool&) = delete;

  // Queues the request, or gives nothing at once when every thread is busy and `queueCapacity`
  // requests already wait.
  std::optional<std::future<Solved>> trySubmit(std::string request, CancelFlag cancel = {});
  // Queues the request, waiting for room; for the later lines of a batch already under way.
  std::future<Solved> submit(std::string request, CancelFlag cancel = {});

  size_t queueLength() const;
  size_t inFlight() const;
  unsigned threadCount() const { return threadCount_; }
  long long timeouts() const { return 0; }
  long long memoryKills() const { return 0; }
  long long crashes() const { return 0; }
  long long restarts() const { return 0; }

 private:
  struct Job {
    std::string request;
    std::promise<Solved> promise;
    CancelFlag cancel;
  };

  bool hasRoomLocked() const;
  std::future<Solved> enqueueLocked(std::string request, CancelFlag cancel);
  void solveInto(Job& job) const;
  void work();

  const unsigned threadCount_;
  const size_t capacity_;
  const SolveObserver observer_;
  mutable std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable roomReady_;
  std::deque<Job> queue_;
  size_t inFlight_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace cli
